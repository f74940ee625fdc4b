#include "platform/exceptions.h"

void RaiseAssertion(const char* unit, int line) {
  throw EAssertionFailed("Assertion failure (" + std::string(unit) + ", line " +
                         std::to_string(line) + ")");
}
