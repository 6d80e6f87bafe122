// Choosing which build of the stand-in system GINA the module will find, and reading what it
// received.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "sim/msgina/StandInGinaControl.h"

struct RecordedCall {
  std::string entryPoint;
  std::vector<UINT_PTR> args;
};

class StandInGina {
 public:
  // Loads bin\msgina\<variant>\MSGINA.DLL (after unloading any loaded MSGINA.DLL), so that the
  // module's LoadLibraryA("MSGINA.DLL") finds it, and makes it answer answeredVersion.
  explicit StandInGina(const char* variant = "full", DWORD answeredVersion = 0x10004);
  ~StandInGina();
  StandInGina(const StandInGina&) = delete;
  StandInGina& operator=(const StandInGina&) = delete;

  HMODULE Handle() const { return module_; }
  SimGinaControl& Control() { return control_; }
  std::vector<RecordedCall> Calls() const;
  std::vector<RecordedCall> CallsTo(const char* entryPoint) const;
  void* Context() const { return control_.Context(); }

  // Unloads every MSGINA.DLL in the process, so that nothing is found by name.
  static void UnloadAll();

 private:
  HMODULE module_;
  SimGinaControl control_{};
};
