#pragma once
// The exception classes every layer raises. Platform-free, so the native core
// raises the same types as the Windows build.
#include <exception>
#include <string>

class Exception : public std::exception {
  std::string FMessage;

public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }
};

class EAssertionFailed : public Exception {
public:
  using Exception::Exception;
};

// "Assertion failure (<unit>, line <n>)": the message names the unit, not a path.
[[noreturn]] void RaiseAssertion(const char* unit, int line);

#define MV_ASSERT(condition, unit) \
  do { if (!(condition)) RaiseAssertion(unit, __LINE__); } while (0)
