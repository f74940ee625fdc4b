// Stands in for a folder that has no sources of one kind yet.
