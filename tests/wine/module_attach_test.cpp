// What loading and unloading the module does with the fingerprint library, as Winlogon's GinaDLL
// value leads it: the library beside the module is loaded, anything else leaves the module a plain
// pass-through, and unloading finalises and releases the library.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "fingerprint/CaptureState.h"
#include "gina/ModuleLifetime.h"
#include "resources/MessageCatalogue.h"
#include "resources/ModuleResources.h"
#include "sim/host/WinlogonHost.h"
#include "sim/papyl/StandInPapylControl.h"
#include "tests/wine/support/EnrolledAccounts.h"
#include "tests/wine/support/ModuleUnderTest.h"
#include "tests/wine/support/StandInGina.h"
#include "tests/wine/support/TestPaths.h"
#include "tests/wine/support/WinlogonRegistry.h"

namespace {

std::string CurrentDirectory() {
  char dir[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, dir);
  return dir;
}

void UnloadFingerprintLibrary() {
  for (int guard = 0; guard < 100 && GetModuleHandleA("papyl.dll"); ++guard)
    FreeLibrary(GetModuleHandleA("papyl.dll"));
}

// Each test sets Winlogon's GinaDLL value as it needs; the old value and the current directory
// come back after it.
class GinaDllValue : public testing::Test {
 protected:
  void SetUp() override {
    oldDirectory_ = CurrentDirectory();
    CreateDirectoryA(BinPath("nopapyl").c_str(), nullptr);
    UnloadFingerprintLibrary();
  }
  void TearDown() override {
    SetCurrentDirectoryA(oldDirectory_.c_str());
    UnloadFingerprintLibrary();
  }
  static void Set(const std::string& value) { ASSERT_TRUE(SetGinaDll(value)); }
  static void Remove() { RemoveGinaDll(); }

  ScopedGinaDll restore_;
  std::string oldDirectory_;
};

struct AttachCase {
  const char* name;
  const char* ginaDll;  // relative to the test folder when it starts with '~'; null: no value
  bool libraryReady;
  const char* currentDirectory;  // after loading, as ginaDll; null: unchanged
};

std::string Expand(const char* value) {
  return value[0] == '~' ? BinPath(value + 1) : std::string(value);
}

const AttachCase kAttachCases[] = {
    {"BesideTheLibrary", "~papyl\\VoDUVO.dll", true, "~papyl"},
    {"LibraryAbsent", "~nopapyl\\VoDUVO.dll", false, "~nopapyl"},
    // Drive C's current folder is not its root (see the test): the library is looked for at C:\.
    {"DriveRoot", "C:\\VoDUVO.dll", false, "C:\\"},
    {"BareFileName", "VoDUVO.dll", false, nullptr},
    {"FolderMissing", "~no-such-folder\\VoDUVO.dll", false, nullptr},
    {"EmptyValue", "", false, nullptr},
    {"NoValue", nullptr, false, nullptr},
};

class Attach : public GinaDllValue, public testing::WithParamInterface<AttachCase> {};

TEST_P(Attach, PreparesTheLibraryOnlyBesideTheModuleAndAlwaysLoads) {
  const AttachCase& c = GetParam();
  if (c.ginaDll)
    Set(Expand(c.ginaDll));
  else
    Remove();

  // Winlogon runs in the system folder: there "C:" alone names C:\windows, not the root.
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  ASSERT_TRUE(SetCurrentDirectoryA(windows));

  StandInGina system("full", WLX_VERSION_1_4);
  ModuleUnderTest module;
  ASSERT_NE(module.Handle(), nullptr);
  EXPECT_EQ(GetModuleHandleA("papyl.dll") != nullptr, c.libraryReady);
  std::string expectedDirectory = c.currentDirectory ? Expand(c.currentDirectory) : windows;
  // The module under test gives the directory back when it is unloaded; read it while loaded.
  EXPECT_EQ(lstrcmpiA(CurrentDirectory().c_str(), expectedDirectory.c_str()), 0)
      << CurrentDirectory();

  // With or without the library, the module negotiates and passes calls on.
  WinlogonHost host(module.Entries());
  EXPECT_TRUE(host.Negotiate());
  EXPECT_TRUE(host.Initialize());
  module.Entries().WlxShutdown(host.Context(), 0);
  EXPECT_EQ(system.CallsTo("WlxShutdown").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(GinaDll, Attach, testing::ValuesIn(kAttachCases),
                         [](const testing::TestParamInfo<AttachCase>& entry) {
                           return std::string(entry.param.name);
                         });

struct DetachCase {
  const char* name;
  const char* ginaDll;
  int finalizeCalls;  // of each of the capture layer and the library
};

class Detach : public GinaDllValue, public testing::WithParamInterface<DetachCase> {};

TEST_P(Detach, FinalisesAndReleasesTheLibraryOnlyWhenItWasPrepared) {
  Set(Expand(GetParam().ginaDll));
  ModuleUnderTest module;
  ASSERT_NE(module.Handle(), nullptr);
  // The test's own reference keeps the stand-in (and its counts) alive across the unload.
  HMODULE standIn = LoadLibraryA(BinPath("papyl\\papyl.dll").c_str());
  SimPapylControl control{};
  ASSERT_TRUE(standIn && control.Bind(standIn));
  control.Reset();

  EXPECT_TRUE(module.Unload());
  EXPECT_EQ(control.CallCount("_PxCapFinalize@0"), GetParam().finalizeCalls);
  EXPECT_EQ(control.CallCount("_PxFinalize@0"), GetParam().finalizeCalls);
  EXPECT_EQ(control.CallCount("_PxInitialize@0"), 0);
  FreeLibrary(standIn);
  EXPECT_EQ(GetModuleHandleA("papyl.dll"), nullptr) << "the module released its reference";
}

INSTANTIATE_TEST_SUITE_P(GinaDll, Detach,
                         testing::Values(DetachCase{"WithLibrary", "~papyl\\VoDUVO.dll", 1},
                                         DetachCase{"WithoutLibrary", "VoDUVO.dll", 0}),
                         [](const testing::TestParamInfo<DetachCase>& entry) {
                           return std::string(entry.param.name);
                         });

// A host that unloads its GINA while capture runs and a finger's callback is still in the
// library: capture is stopped as at a SAS before the library is finalised and let go, so the
// callback neither calls the finalised library nor runs on in the module's unloaded code.
TEST_F(GinaDllValue, UnloadingWhileCaptureRunsStopsCaptureFirst) {
  Set(BinPath("papyl\\VoDUVO.dll"));
  StandInGina system{"full", WLX_VERSION_1_4};
  ModuleUnderTest module;
  ASSERT_NE(module.Handle(), nullptr);
  HMODULE standIn = LoadLibraryA(BinPath("papyl\\papyl.dll").c_str());
  SimPapylControl papyl{};
  ASSERT_TRUE(standIn && papyl.Bind(standIn));
  papyl.Reset();
  EnrolledAccounts accounts(&papyl);
  accounts.Enrol("alice", FingerprintOnly, 1, "alice-pw");
  WinlogonHost host(module.Entries());
  ASSERT_TRUE(host.Negotiate());
  ASSERT_TRUE(host.Initialize());
  papyl.PlugReader("reader-1");
  papyl.SetExtractDelay(2000);
  std::thread person([&] {
    for (int i = 0; i < 2000 && papyl.CallCount("_PxCapStartCapture@12") == 0; ++i) Sleep(10);
    papyl.PlaceFinger("reader-1", 1);
    for (int i = 0; i < 2000 && papyl.CallCount("_PxExtract@28") == 0; ++i) Sleep(10);
    host.PressCtrlAltDel();
  });
  host.Gina().WlxDisplaySASNotice(host.Context());
  person.join();
  EXPECT_EQ(papyl.CallbacksRunning(), 1) << "the finger's extraction is under way";

  EXPECT_TRUE(module.Unload());
  EXPECT_TRUE(papyl.WaitIdle(15000));
  EXPECT_EQ(papyl.LateCalls(), 0);
  EXPECT_EQ(papyl.CallCount("_PxBiometricDisplay@32"), 0);
  EXPECT_EQ(host.SasNotifyCount(), 0);
  FreeLibrary(standIn);
}

TEST_F(GinaDllValue, WithoutTheValueTheInstanceAndLanguageAreStillSet) {
  Remove();
  ResetLinkedModuleState();
  languageBase = -1;
  HINSTANCE self = GetModuleHandleA(nullptr);
  AttachModule(self);
  EXPECT_EQ(captureState.library, nullptr);
  EXPECT_EQ(moduleInstance, self);
  EXPECT_EQ(languageBase, GetSystemDefaultLangID() == 1046 ? 30 : 0);
  DetachModule(false);
  ResetLinkedModuleState();
}

TEST_F(GinaDllValue, DetachForgetsTheLibraryObject) {
  Set(BinPath("papyl\\VoDUVO.dll"));
  ResetLinkedModuleState();
  AttachModule(GetModuleHandleA(nullptr));
  ASSERT_NE(captureState.library, nullptr);
  DetachModule(false);
  EXPECT_EQ(captureState.library, nullptr);
  EXPECT_EQ(GetModuleHandleA("papyl.dll"), nullptr);
  ResetLinkedModuleState();
}

// At process exit the library is already gone: the module calls nothing in it and frees nothing.
TEST_F(GinaDllValue, DetachAtProcessExitLeavesTheLibraryAlone) {
  Set(BinPath("papyl\\VoDUVO.dll"));
  ResetLinkedModuleState();
  AttachModule(GetModuleHandleA(nullptr));
  ASSERT_NE(captureState.library, nullptr);
  // The test's own reference keeps the stand-in's counts readable whatever the detach does.
  HMODULE standIn = LoadLibraryA(BinPath("papyl\\papyl.dll").c_str());
  SimPapylControl control{};
  ASSERT_TRUE(standIn && control.Bind(standIn));
  control.Reset();

  DetachModule(true);
  EXPECT_EQ(control.CallCount("_PxCapFinalize@0"), 0);
  EXPECT_EQ(control.CallCount("_PxFinalize@0"), 0);
  EXPECT_NE(captureState.library, nullptr) << "nothing is released at process exit";

  DetachModule(false);
  FreeLibrary(standIn);
  ResetLinkedModuleState();
}

}  // namespace
