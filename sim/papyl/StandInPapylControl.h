// The stand-in fingerprint library's control interface, for tests and the demo: how often each
// entry point was called, and what each answers.
#pragma once

#include <windows.h>

typedef void (*SimPapylResetFn)();
typedef int (*SimPapylCallCountFn)(const char* exportedName);
typedef void (*SimPapylSetResultFn)(const char* exportedName, int result);
typedef UINT_PTR (*SimPapylLastArgumentFn)(const char* exportedName, int position);

struct SimPapylControl {
  SimPapylResetFn Reset;
  SimPapylCallCountFn CallCount;
  SimPapylSetResultFn SetResult;
  SimPapylLastArgumentFn LastArgument;  // of the latest call, by position from 0

  bool Bind(HMODULE standIn) {
    return Get(standIn, "SimPapylReset", Reset) && Get(standIn, "SimPapylCallCount", CallCount) &&
           Get(standIn, "SimPapylSetResult", SetResult) &&
           Get(standIn, "SimPapylLastArgument", LastArgument);
  }

 private:
  template <class Fn>
  static bool Get(HMODULE module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    return fn != nullptr;
  }
};
