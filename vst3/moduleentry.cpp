#include "vst3/moduleentry.h"

namespace {
// Hosts call the entry points on one thread; the counter needs no lock.
int moduleCounter = 0;
}

bool InitDll() {
  if (++moduleCounter == 1) return InitModule();
  return true;
}

bool ExitDll() {
  --moduleCounter;
  if (moduleCounter == 0) return DeinitModule();
  if (moduleCounter < 0) return false;
  return true;
}
