#include "tests/wine/support/ModuleUnderTest.h"

#include <gtest/gtest.h>

#include "fingerprint/CaptureGate.h"
#include "fingerprint/CaptureState.h"
#include "fingerprint/FingerprintMatch.h"
#include "gina/GinaState.h"
#include "resources/MessageCatalogue.h"
#include "resources/ModuleResources.h"
#include "tests/wine/support/TestPaths.h"

ModuleUnderTest::ModuleUnderTest() {
  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, directory);
  oldDirectory_ = directory;
  path_ = BinPath("VoDUVO.dll");
  module_ = LoadLibraryA(path_.c_str());
  if (!module_) {
    ADD_FAILURE() << "cannot load " << path_ << " (error " << GetLastError() << ")";
    return;
  }
  EXPECT_TRUE(BindGinaInterface(module_, entries_)) << "the module lacks a GINA entry point";
}

ModuleUnderTest::~ModuleUnderTest() {
  Unload();
  SetCurrentDirectoryA(oldDirectory_.c_str());
}

BOOL ModuleUnderTest::Unload(bool untilGone) {
  if (!module_) return FALSE;
  BOOL freed = FreeLibrary(module_);
  module_ = nullptr;
  for (int waited = 0; untilGone && freed && GetModuleHandleA(path_.c_str()) && waited < 3000;
       waited += 10)
    Sleep(10);
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

void ResetLinkedModuleState() {
  CloseCaptureGate();
  GinaState = ModuleState{};
  captureState = CaptureState{};
  fingerprintMatch = FingerprintMatch{};
  languageBase = 0;
  moduleInstance = nullptr;
}
