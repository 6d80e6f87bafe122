// Call records of the stand-in library's entry points.
#include "sim/papyl/EntryPoints.h"

#include <cstring>

#include "sim/papyl/Readers.h"

namespace {

const char* const kExportedNames[kEntryPointCount] = {
    "_PxInitialize@0",        "_PxFinalize@0",
    "_PxCapInitialize@4",     "_PxCapFinalize@0",
    "_PxCapStartCapture@12",  "_PxCapStopCapture@4",
    "_PxExtract@28",          "_PxVerify@16",
    "_PxBiometricDisplay@32", "_PxSetBiometricDisplayColors@24",
    "_PxGetPapylVersion@8",
};

struct Records {
  volatile LONG calls[kEntryPointCount];
  volatile LONG forced[kEntryPointCount];  // 1 while a result is forced
  volatile LONG results[kEntryPointCount];
  UINT_PTR lastArguments[kEntryPointCount][kMaxRecordedArguments];
  volatile LONG initialised;
  volatile LONG lateCalls;
};
Records records;

// Entry points that only an initialised library may be asked.
bool NeedsInitialisedLibrary(EntryPoint entryPoint) {
  switch (entryPoint) {
    case kCapStartCapture:
    case kCapStopCapture:
    case kExtract:
    case kVerify:
    case kBiometricDisplay:
    case kSetBiometricDisplayColors:
      return true;
    default:
      return false;
  }
}

bool Valid(int entryPoint) { return entryPoint >= 0 && entryPoint < kEntryPointCount; }

}  // namespace

int EntryPointNamed(const char* exportedName) {
  for (int i = 0; exportedName && i < kEntryPointCount; ++i)
    if (std::strcmp(kExportedNames[i], exportedName) == 0) return i;
  return -1;
}

void RecordCall(EntryPoint entryPoint, const UINT_PTR* words, int count) {
  InterlockedIncrement(&records.calls[entryPoint]);
  for (int a = 0; a < count && a < kMaxRecordedArguments; ++a)
    records.lastArguments[entryPoint][a] = words[a];
  bool tooEarlyOrLate = NeedsInitialisedLibrary(entryPoint) && !LibraryInitialised();
  if (tooEarlyOrLate || InCallbackOfEndedLayer()) InterlockedIncrement(&records.lateCalls);
}

int CallCount(EntryPoint entryPoint) { return Valid(entryPoint) ? records.calls[entryPoint] : -1; }

UINT_PTR LastArgument(EntryPoint entryPoint, int position) {
  if (!Valid(entryPoint) || position < 0 || position >= kMaxRecordedArguments) return 0;
  return records.lastArguments[entryPoint][position];
}

bool ForcedResult(EntryPoint entryPoint, int* result) {
  if (!records.forced[entryPoint]) return false;
  *result = records.results[entryPoint];
  return true;
}

void ForceResult(EntryPoint entryPoint, int result) {
  InterlockedExchange(&records.results[entryPoint], result);
  InterlockedExchange(&records.forced[entryPoint], 1);
}

void SetLibraryInitialised(bool initialised) {
  InterlockedExchange(&records.initialised, initialised ? 1 : 0);
}

bool LibraryInitialised() { return records.initialised != 0; }

int LateCalls() { return records.lateCalls; }

void ResetEntryPoints() {
  for (int i = 0; i < kEntryPointCount; ++i) {
    records.calls[i] = 0;
    records.forced[i] = 0;
    records.results[i] = 0;
    for (UINT_PTR& word : records.lastArguments[i]) word = 0;
  }
  records.initialised = 0;
  records.lateCalls = 0;
}
