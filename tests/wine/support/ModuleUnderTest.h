// The module as Winlogon meets it: VoDUVO.dll loaded from the test folder, its entry points bound
// by name. Each instance loads a fresh copy (fresh module state) and unloads it at the end, and
// then gives the process back the current directory that loading the module may have changed.
#pragma once

#include <windows.h>

#include <string>

#include "sim/host/GinaInterface.h"

class ModuleUnderTest {
 public:
  ModuleUnderTest();
  ~ModuleUnderTest();
  ModuleUnderTest(const ModuleUnderTest&) = delete;
  ModuleUnderTest& operator=(const ModuleUnderTest&) = delete;

  HMODULE Handle() const { return module_; }
  const GinaInterface& Entries() const { return entries_; }
  // Unloads the module now (process detach); returns what FreeLibrary answered. The module's
  // event reporter may hold it a moment longer: unless told not to, this waits (3 s at most)
  // until it is gone.
  BOOL Unload(bool untilGone = true);

 private:
  HMODULE module_;
  GinaInterface entries_{};
  std::string oldDirectory_;
  std::string path_;
};

// The module's code linked into the test executable itself: same entry points, but its state
// (GinaState, the capture state, the match, the language) can be read and set by the test.
GinaInterface LinkedModuleEntries();
// Clears the linked module's state to what a fresh load has.
void ResetLinkedModuleState();
