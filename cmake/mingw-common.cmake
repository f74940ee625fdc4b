# Shared by the two MinGW-w64 toolchains; KRIBBEL_MINGW_TRIPLE and
# KRIBBEL_WINE_LOADER are set by the file that includes this one.
set(CMAKE_SYSTEM_NAME Windows)

# The POSIX thread model: GoogleTest needs std::mutex, which the win32 model lacks.
set(CMAKE_C_COMPILER ${KRIBBEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KRIBBEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KRIBBEL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KRIBBEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the Windows programs through Wine's loader of the matching width.
set(CMAKE_CROSSCOMPILING_EMULATOR ${KRIBBEL_WINE_LOADER})
