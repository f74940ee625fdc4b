#pragma once
// Units start in a fixed order and finish in the reverse one. C++ static
// initialisation across files has no order, so the program's main routine and
// every test program's main start the units explicitly through TStartup.
#include <initializer_list>
#include <vector>

struct TUnit {
  const char* Name;
  void (*Initialize)();
  void (*Finalize)();
};

class TStartup {
  std::vector<TUnit> FStarted;
  void FinishAll();

public:
  // Starts each unit in order. If one raises, those already started are
  // finished again (in reverse) before the exception leaves.
  explicit TStartup(std::initializer_list<TUnit> units);
  ~TStartup();
  TStartup(const TStartup&) = delete;
  TStartup& operator=(const TStartup&) = delete;
};
