// The stand-in system GINA's control interface: what tests and the demo may ask of it besides the
// GINA entry points. Bound at run time, because which build of the stand-in is loaded varies.
#pragma once

#include <windows.h>

constexpr int kSimGinaMaxArgs = 8;

// One call of a GINA entry point as the stand-in received it.
struct SimGinaCall {
  char entryPoint[40];
  int argCount;
  UINT_PTR args[kSimGinaMaxArgs];
};

// Called at the start of every GINA entry point, before the stand-in does anything else.
typedef void (*SimGinaObserver)(const char* entryPoint, void* context);

typedef void (*SimGinaResetFn)(DWORD answeredVersion);
typedef void (*SimGinaSetResultFn)(const char* entryPoint, INT_PTR result);
typedef void (*SimGinaSetObserverFn)(SimGinaObserver observer, void* context);
typedef int (*SimGinaCallCountFn)();
typedef const SimGinaCall* (*SimGinaCallAtFn)(int index);
typedef void* (*SimGinaContextFn)();

// The control functions of a loaded stand-in.
struct SimGinaControl {
  SimGinaResetFn Reset;
  SimGinaSetResultFn SetResult;
  SimGinaSetObserverFn SetObserver;
  SimGinaCallCountFn CallCount;
  SimGinaCallAtFn CallAt;
  SimGinaContextFn Context;  // the context pointer the stand-in hands to Winlogon

  bool Bind(HMODULE standIn) {
    return Get(standIn, "SimGinaReset", Reset) && Get(standIn, "SimGinaSetResult", SetResult) &&
           Get(standIn, "SimGinaSetObserver", SetObserver) &&
           Get(standIn, "SimGinaCallCount", CallCount) && Get(standIn, "SimGinaCallAt", CallAt) &&
           Get(standIn, "SimGinaContext", Context);
  }

 private:
  template <class Fn>
  static bool Get(HMODULE module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    return fn != nullptr;
  }
};
