#include "platform/startup.h"

TStartup::TStartup(std::initializer_list<TUnit> units) {
  try {
    for (const TUnit& unit : units) {
      unit.Initialize();
      FStarted.push_back(unit);
    }
  } catch (...) {
    FinishAll();
    throw;
  }
}

TStartup::~TStartup() { FinishAll(); }

void TStartup::FinishAll() {
  while (!FStarted.empty()) {
    TUnit unit = FStarted.back();
    FStarted.pop_back();
    unit.Finalize();
  }
}
