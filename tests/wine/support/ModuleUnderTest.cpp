#include "tests/wine/support/ModuleUnderTest.h"

#include <gtest/gtest.h>

#include "gina/GinaState.h"
#include "tests/wine/support/TestPaths.h"

ModuleUnderTest::ModuleUnderTest() {
  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, directory);
  oldDirectory_ = directory;
  std::string path = BinPath("VoDUVO.dll");
  module_ = LoadLibraryA(path.c_str());
  if (!module_) {
    ADD_FAILURE() << "cannot load " << path << " (error " << GetLastError() << ")";
    return;
  }
  EXPECT_TRUE(BindGinaInterface(module_, entries_)) << "the module lacks a GINA entry point";
}

ModuleUnderTest::~ModuleUnderTest() {
  Unload();
  SetCurrentDirectoryA(oldDirectory_.c_str());
}

BOOL ModuleUnderTest::Unload() {
  if (!module_) return FALSE;
  BOOL freed = FreeLibrary(module_);
  module_ = nullptr;
  return freed;
}

GinaInterface LinkedModuleEntries() {
  return GinaInterface{::WlxNegotiate, ::WlxInitialize, ::WlxDisplaySASNotice, ::WlxLoggedOutSAS,
                       ::WlxActivateUserShell, ::WlxLoggedOnSAS, ::WlxDisplayLockedNotice,
                       ::WlxIsLockOk, ::WlxWkstaLockedSAS, ::WlxIsLogoffOk, ::WlxLogoff,
                       ::WlxShutdown, ::WlxStartApplication, ::WlxScreenSaverNotify,
                       ::WlxNetworkProviderLoad, ::WlxDisplayStatusMessage, ::WlxGetStatusMessage,
                       ::WlxRemoveStatusMessage, ::WlxGetConsoleSwitchCredentials,
                       ::WlxReconnectNotify, ::WlxDisconnectNotify};
}

void ResetLinkedModuleState() { GinaState = ModuleState{}; }
