#pragma once
// The exception classes the component framework raises. All derive from the
// base Exception (platform/exceptions.h), whose message the application's
// exception handler shows.
#include <cstdint>
#include <string>

#include "platform/exceptions.h"

class EOutOfMemory : public Exception {
public:
  EOutOfMemory() : Exception("Out of memory") {}
};

// Streams: ReadBuffer/WriteBuffer that cannot move all bytes.
class EStreamError : public Exception { public: using Exception::Exception; };
class EReadError : public EStreamError { public: using EStreamError::EStreamError; };
class EWriteError : public EStreamError { public: using EStreamError::EStreamError; };
// A resource that the module does not hold: "Resource <name> not found".
class EResNotFound : public Exception { public: using Exception::Exception; };
// An index outside a list or collection: "List index out of bounds (<i>)".
class EListError : public Exception { public: using Exception::Exception; };
// Assign between classes that do not convert: "Cannot assign a X to a Y".
class EConvertError : public Exception { public: using Exception::Exception; };
// A query for an interface that the object does not give.
class EIntfCastError : public Exception { public: using Exception::Exception; };
// Bad component names, duplicate names, bad property values.
class EComponentError : public Exception { public: using Exception::Exception; };
// The text form could not be parsed; the message names the line.
class EParserError : public Exception { public: using Exception::Exception; };
// A form that names a class nobody registered.
class EClassNotFound : public EReadError { public: using EReadError::EReadError; };

// OLE failures of calls on a control: the result code, the control's own
// exception information, or a fixed message.
class EOleError : public Exception { public: using Exception::Exception; };
class EOleSysError : public EOleError {
  int32_t FErrorCode;

public:
  EOleSysError(std::string message, int32_t errorCode)
      : EOleError(std::move(message)), FErrorCode(errorCode) {}
  int32_t ErrorCode() const { return FErrorCode; }
};
class EOleException : public EOleSysError {
  std::string FSource, FHelpFile;
  int32_t FHelpContext;

public:
  EOleException(std::string message, int32_t errorCode, std::string source,
                std::string helpFile, int32_t helpContext)
      : EOleSysError(std::move(message), errorCode), FSource(std::move(source)),
        FHelpFile(std::move(helpFile)), FHelpContext(helpContext) {}
  const std::string& Source() const { return FSource; }
  const std::string& HelpFile() const { return FHelpFile; }
  int32_t HelpContext() const { return FHelpContext; }
};
