#include "standin/com_object.h"

namespace standin {
namespace {
LONG GObjects = 0;
LONG GLocks = 0;
}  // namespace

void ObjectCreated() { InterlockedIncrement(&GObjects); }
void ObjectDestroyed() { InterlockedDecrement(&GObjects); }
void LockServer(bool lock) {
  if (lock) InterlockedIncrement(&GLocks);
  else InterlockedDecrement(&GLocks);
}
long LiveObjects() { return InterlockedCompareExchange(&GObjects, 0, 0); }
long ServerLocks() { return InterlockedCompareExchange(&GLocks, 0, 0); }

}  // namespace standin
