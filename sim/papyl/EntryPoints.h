// What the stand-in library remembers about calls to its entry points: how often each was
// called and with what, the answers a test forced, whether the library is initialised, and the
// calls that came too late or too early.
#pragma once

#include <windows.h>

enum EntryPoint {
  kInitialize,
  kFinalize,
  kCapInitialize,
  kCapFinalize,
  kCapStartCapture,
  kCapStopCapture,
  kExtract,
  kVerify,
  kBiometricDisplay,
  kSetBiometricDisplayColors,
  kGetPapylVersion,
  kEntryPointCount
};

constexpr int kMaxRecordedArguments = 8;

// The entry point exported under `exportedName` ("_PxVerify@16"), or -1.
int EntryPointNamed(const char* exportedName);

// Counts one call, keeps its arguments as machine words, and counts it as a late call when it
// comes at a time the library forbids it.
void RecordCall(EntryPoint entryPoint, const UINT_PTR* words, int count);

int CallCount(EntryPoint entryPoint);
UINT_PTR LastArgument(EntryPoint entryPoint, int position);

// A test's chosen answer for an entry point; false while it behaves naturally.
bool ForcedResult(EntryPoint entryPoint, int* result);
void ForceResult(EntryPoint entryPoint, int result);

void SetLibraryInitialised(bool initialised);
bool LibraryInitialised();
int LateCalls();

// Back to a fresh library: nothing counted, nothing forced, not initialised.
void ResetEntryPoints();
