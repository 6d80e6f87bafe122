// Fingerprint capture and identification as a person at the SAS notice meets them: readers come
// and go, fingers are placed, and a match fills the candidate buffers and raises one SAS. The
// module's code linked into this program runs the real notice dialog, with the stand-in library.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "fingerprint/CaptureSession.h"
#include "fingerprint/CaptureState.h"
#include "fingerprint/FingerprintLibrary.h"
#include "fingerprint/FingerprintMatch.h"
#include "fingerprint/SensorPicture.h"
#include "gina/ModuleLifetime.h"
#include "resources/MessageCatalogue.h"
#include "sim/host/WinlogonDesktop.h"
#include "sim/host/WinlogonHost.h"
#include "tests/wine/support/EnrolledAccounts.h"
#include "tests/wine/support/ImportHook.h"
#include "tests/wine/support/MessageBoxWatcher.h"
#include "tests/wine/support/ModuleUnderTest.h"
#include "tests/wine/support/StandInGina.h"
#include "tests/wine/support/TestPaths.h"
#include "tests/wine/support/WinlogonRegistry.h"

namespace {

constexpr DWORD kIdleTimeout = 15000;

// The module's beeps, counted instead of sounded.
LONG beeps = 0;
BOOL WINAPI CountBeep(DWORD, DWORD) {
  InterlockedIncrement(&beeps);
  return TRUE;
}

std::string Text(MessageId id) { return MessageText(id); }

class Capture : public testing::Test {
 protected:
  void SetUp() override {
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, directory);
    oldDirectory_ = directory;
    ResetLinkedModuleState();
    // A copy of the module without a library (GinaDLL is absent now) lends its resources.
    resources_ = LoadLibraryA(BinPath("VoDUVO.dll").c_str());
    ASSERT_NE(resources_, nullptr);
    ASSERT_TRUE(SetGinaDll(BinPath("papyl\\VoDUVO.dll")));
    AttachModule(resources_);
    ASSERT_NE(captureState.library, nullptr);
    papyl_ = BindLoadedPapyl();
    papyl_.Reset();
    accounts_ = std::make_unique<EnrolledAccounts>(&papyl_);
    host_ = std::make_unique<WinlogonHost>(LinkedModuleEntries());
    ASSERT_TRUE(host_->Negotiate());
    ASSERT_TRUE(host_->Initialize());
    boxes_ = std::make_unique<MessageBoxWatcher>(nullptr);
    beeps = 0;
    realBeep_ = ReplaceImport("KERNEL32.dll", "Beep", CodeCast<FARPROC>(CountBeep));
  }

  void TearDown() override {
    StopFingerprintCapture();
    if (realBeep_) ReplaceImport("KERNEL32.dll", "Beep", realBeep_);
    boxes_.reset();
    host_.reset();
    accounts_.reset();
    DetachModule(false);
    ResetLinkedModuleState();
    if (resources_) FreeLibrary(resources_);
    SetCurrentDirectoryA(oldDirectory_.c_str());
  }

  // Shows the SAS notice on a thread that plays Winlogon's, on Winlogon's own desktop, while the
  // person acts on this thread; when nothing they did raised a SAS, they press Ctrl-Alt-Del to
  // end it.
  void RunNotice(const std::function<void()>& person) {
    int sasBefore = host_->SasNotifyCount();
    int captureStarts = papyl_.CallCount("_PxCapInitialize@4");
    bool onWinlogonDesktop = false;
    std::thread winlogon([&] {
      onWinlogonDesktop = MoveToWinlogonDesktop();
      host_->Gina().WlxDisplaySASNotice(host_->Context());
    });
    // The person comes once the notice has started capture (or has given up on it).
    for (int i = 0; i < 500 && papyl_.CallCount("_PxCapInitialize@4") == captureStarts &&
                    !(captureState.captureRunning && captureStarts > 0);
         ++i)
      Sleep(10);
    person();
    if (host_->SasNotifyCount() == sasBefore) host_->PressCtrlAltDel();
    winlogon.join();
    EXPECT_TRUE(onWinlogonDesktop) << "the notice ran on Winlogon's desktop";
  }

  // The library's callbacks have returned and the notice shows what they posted to it.
  void Settle() {
    EXPECT_TRUE(papyl_.WaitIdle(kIdleTimeout));
    host_->SettleDialog();
  }
  void Plug(const char* reader) {
    papyl_.PlugReader(reader);
    Settle();
  }
  void Place(const char* reader, int finger) {
    papyl_.PlaceFinger(reader, finger);
    Settle();
  }

  // Read on the person's thread while the notice is up.
  std::string NoticeText(int control) const {
    char text[256] = {};
    GetDlgItemTextA(host_->ActiveDialog(), control, text, sizeof text);
    return text;
  }
  HBITMAP NoticePicture() const {
    HWND picture = GetDlgItem(host_->ActiveDialog(), 1006);
    return reinterpret_cast<HBITMAP>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
  }

  int BoxesSaying(MessageId id) const {
    int count = 0;
    for (const ShownBox& box : boxes_->Shown()) count += box.text == Text(id);
    return count;
  }

  ScopedGinaDll restore_;  // no GinaDLL value until SetUp sets it, the old one back afterwards
  StandInGina system_{"full", WLX_VERSION_1_4};
  std::string oldDirectory_;
  HMODULE resources_ = nullptr;
  SimPapylControl papyl_{};
  std::unique_ptr<EnrolledAccounts> accounts_;
  std::unique_ptr<WinlogonHost> host_;
  std::unique_ptr<MessageBoxWatcher> boxes_;
  FARPROC realBeep_ = nullptr;
};

TEST_F(Capture, AnEnrolledFingerFillsTheCandidateAndRaisesOneSas) {
  accounts_->Enrol("alice", FingerprintOrPassword, 1, "alice-pw");
  accounts_->Enrol("bob", FingerprintOrPassword, 2, "bob-pw");
  std::string waiting, ready;
  bool pictureWhileWaiting = false;
  RunNotice([&] {
    waiting = NoticeText(1005) + "|" + NoticeText(1004);
    pictureWhileWaiting = NoticePicture() != nullptr;
    Plug("reader-1");
    ready = NoticeText(1005) + "|" + NoticeText(1004);
    Place("reader-1", 1);
    Place("reader-1", 2);  // after the match, before capture stops: ignored
  });

  EXPECT_EQ(waiting, Text(MsgWaitingForSensor) + "|" + Text(MsgPressCtrlAltDel));
  EXPECT_TRUE(pictureWhileWaiting) << "edition 1 has a waiting picture";
  EXPECT_EQ(ready, Text(MsgTouchSensor) + "|" + Text(MsgOrPressCtrlAltDel));
  EXPECT_EQ(host_->SasNotifyCount(), 1);
  EXPECT_EQ(host_->LastSasNotified(), static_cast<DWORD>(WLX_SAS_TYPE_CTRL_ALT_DEL));
  EXPECT_TRUE(fingerprintMatch.fingerprintMatched);
  EXPECT_STREQ(fingerprintMatch.candidateUser, "alice");
  EXPECT_STREQ(fingerprintMatch.candidatePassword, "alice-pw");
  EXPECT_TRUE(boxes_->Shown().empty());
  EXPECT_EQ(papyl_.CallCount("_PxExtract@28"), 1) << "the later image was not even extracted";
  EXPECT_EQ(papyl_.CallCount("_PxBiometricDisplay@32"), 2) << "plain picture and match picture";
  EXPECT_EQ(static_cast<int>(papyl_.LastArgument("_PxBiometricDisplay@32", 7)), 0);
  EXPECT_EQ(beeps, 5);
  StopFingerprintCapture();
  EXPECT_EQ(papyl_.LateCalls(), 0);
  EXPECT_EQ(papyl_.BitmapsAlive(), 0) << "every bitmap the library drew was deleted";
}

struct Account {
  const char* name;
  int finger1, finger2;  // kNoFinger: that template is missing
  const char* password;  // null: no CPD
};

struct IdentificationCase {
  const char* name;
  std::vector<Account> accounts;
  const char* forcedEntry;  // forced to forcedResult, or null
  int forcedResult;
  const char* expectedUser;  // "" when nobody
  const char* expectedPassword;
  int displays;  // drawings asked of the library: 2 with a match picture
};

const std::string kLongName(130, 'n');

const IdentificationCase kIdentificationCases[] = {
    {"NoAccounts", {}, nullptr, 0, "", "", 1},
    {"TieGoesToTheFirstListed", {{"anna", 1, 1, "a"}, {"zed", 1, 1, "z"}}, nullptr, 0, "anna",
     "a", 2},
    {"SecondTemplateMatches", {{"carol", 5, 1, "c"}}, nullptr, 0, "carol", "c", 2},
    {"AnAccountWithoutTemplate2FailsEverySearch", {{"alice", 1, 1, "a"}, {"dave", 2, kNoFinger, "d"}},
     nullptr, 0, "", "", 1},
    {"OtherFingersOnly", {{"bob", 2, 3, "b"}}, nullptr, 0, "", "", 1},
    {"ExtractionFails", {{"alice", 1, 1, "a"}}, "_PxExtract@28", -4, "", "", 1},
    {"VerifyErrorIsNoMatch", {{"alice", 1, 1, "a"}}, "_PxVerify@16", -5, "", "", 1},
    {"NameTooLongForItsField", {{kLongName.c_str(), 1, 1, "a"}}, nullptr, 0, "", "", 1},
    {"PasswordUnreadable", {{"alice", 1, 1, nullptr}}, nullptr, 0, "alice", "", 1},
};

class Identification : public Capture, public testing::WithParamInterface<IdentificationCase> {};

TEST_P(Identification, FindsTheAccountOrSaysTheFingerprintWasNotFound) {
  const IdentificationCase& c = GetParam();
  for (const Account& a : c.accounts)
    accounts_->Enrol(a.name, FingerprintOrPassword, a.finger1, a.finger2, a.password);
  if (c.forcedEntry) papyl_.SetResult(c.forcedEntry, c.forcedResult);
  RunNotice([&] {
    Plug("reader-1");
    Place("reader-1", 1);
  });

  bool matched = c.expectedPassword[0] != '\0';
  EXPECT_EQ(fingerprintMatch.fingerprintMatched, matched);
  EXPECT_STREQ(fingerprintMatch.candidateUser, c.expectedUser);
  EXPECT_STREQ(fingerprintMatch.candidatePassword, c.expectedPassword);
  EXPECT_EQ(host_->SasNotifyCount(), matched ? 1 : 0);
  EXPECT_EQ(papyl_.CallCount("_PxBiometricDisplay@32"), c.displays);
  std::vector<ShownBox> shown = boxes_->Shown();
  ASSERT_EQ(shown.size(), matched ? 0u : 1u);
  if (!matched) {
    EXPECT_EQ(shown[0].text, Text(MsgFingerprintNotFound));
    EXPECT_EQ(shown[0].caption, Text(MsgFingerprintCaption));
    EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(shown[0].desktop, kWinlogonDesktopName) << "where the person is";
  }
}

INSTANTIATE_TEST_SUITE_P(Store, Identification, testing::ValuesIn(kIdentificationCases),
                         [](const testing::TestParamInfo<IdentificationCase>& entry) {
                           return std::string(entry.param.name);
                         });

// The match picture needs Template1 of the matched account once more: when that read fails, the
// picture is skipped but the SAS still follows.
LONG template1Reads = 0;
decltype(&RegQueryValueExA) realQueryValue = nullptr;
LONG WINAPI FailLateTemplate1(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                              LPDWORD size) {
  if (name && lstrcmpA(name, "Template1") == 0 && InterlockedIncrement(&template1Reads) > 2)
    return ERROR_FILE_NOT_FOUND;
  return realQueryValue(key, name, reserved, type, data, size);
}

TEST_F(Capture, WithoutTemplate1ForTheMatchPictureTheSasStillFollows) {
  accounts_->Enrol("alice", FingerprintOnly, 1, "alice-pw");
  template1Reads = 0;
  realQueryValue = CodeCast<decltype(realQueryValue)>(
      ReplaceImport("ADVAPI32.dll", "RegQueryValueExA", CodeCast<FARPROC>(FailLateTemplate1)));
  ASSERT_NE(realQueryValue, nullptr);
  RunNotice([&] {
    Plug("reader-1");
    Place("reader-1", 1);
  });
  ReplaceImport("ADVAPI32.dll", "RegQueryValueExA", CodeCast<FARPROC>(realQueryValue));

  EXPECT_EQ(host_->SasNotifyCount(), 1);
  EXPECT_STREQ(fingerprintMatch.candidateUser, "alice");
  EXPECT_EQ(papyl_.CallCount("_PxVerify@16"), 2) << "the search only: no verify for the picture";
  EXPECT_EQ(papyl_.CallCount("_PxBiometricDisplay@32"), 1);
  EXPECT_EQ(beeps, 0);
}

TEST_F(Capture, ReadersComeAndGo) {
  accounts_->Enrol("alice", FingerprintOrPassword, 1, "alice-pw");
  int startsAfterFile = -1, startsAfterOthers = -1, stops = -1;
  std::string afterFile, afterUnplug, afterReplug;
  HBITMAP readyPicture = nullptr, waitingPicture = nullptr;
  RunNotice([&] {
    Plug("File");
    startsAfterFile = papyl_.CallCount("_PxCapStartCapture@12");
    afterFile = NoticeText(1005);
    Plug("Fil");
    Plug("Files");
    startsAfterOthers = papyl_.CallCount("_PxCapStartCapture@12");
    readyPicture = NoticePicture();
    papyl_.UnplugReader("Files");
    EXPECT_TRUE(boxes_->WaitForCount(1, kIdleTimeout));
    Settle();
    stops = papyl_.CallCount("_PxCapStopCapture@4");
    afterUnplug = NoticeText(1005) + "|" + NoticeText(1004);
    waitingPicture = NoticePicture();
    Plug("Files");
    afterReplug = NoticeText(1005);
    Place("Files", 1);
  });

  EXPECT_EQ(startsAfterFile, 0) << "the reader id \"File\" is no reader";
  EXPECT_EQ(afterFile, Text(MsgWaitingForSensor));
  EXPECT_EQ(startsAfterOthers, 2) << "\"Fil\" and \"Files\" are readers";
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(afterUnplug, Text(MsgWaitingForSensor) + "|" + Text(MsgPressCtrlAltDel));
  EXPECT_NE(waitingPicture, nullptr);
  EXPECT_NE(waitingPicture, readyPicture);
  EXPECT_EQ(afterReplug, Text(MsgTouchSensor));
  EXPECT_EQ(host_->SasNotifyCount(), 1) << "capture resumed on the reader plugged in again";
  std::vector<ShownBox> shown = boxes_->Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, Text(MsgSensorUnplugged));
  EXPECT_EQ(shown[0].caption, Text(MsgFingerprintCaption));
  EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(shown[0].desktop, kWinlogonDesktopName) << "where the person is";
}

struct StartCase {
  const char* name;
  const char* forcedEntry;
  int forcedResult;
  int expectedResult;
  int expectedMessage;  // -1: none
  int finalizeCalls;
};

TEST_F(Capture, StartReportsTheLibrarysFailuresAndStartsOnce) {
  const StartCase cases[] = {
      {"initialisation -1", "_PxInitialize@0", -1, -1, MsgLibraryInitFailed, 0},
      {"initialisation -6", "_PxInitialize@0", -6, -6, MsgLibraryInitFailed, 0},
      {"initialisation -3", "_PxInitialize@0", -3, -3, -1, 0},
      {"capture layer", "_PxCapInitialize@4", 7, 7, MsgCaptureInitFailed, 1},
  };
  for (const StartCase& c : cases) {
    SCOPED_TRACE(c.name);
    papyl_.Reset();
    papyl_.SetResult(c.forcedEntry, c.forcedResult);
    size_t boxesBefore = boxes_->Shown().size();
    EXPECT_EQ(StartFingerprintCapture(), c.expectedResult);
    EXPECT_FALSE(captureState.captureRunning);
    EXPECT_EQ(papyl_.CallCount("_PxFinalize@0"), c.finalizeCalls);
    std::vector<ShownBox> shown = boxes_->Shown();
    ASSERT_EQ(shown.size(), boxesBefore + (c.expectedMessage < 0 ? 0 : 1));
    if (c.expectedMessage >= 0) {
      EXPECT_EQ(shown.back().text, Text(static_cast<MessageId>(c.expectedMessage)));
      EXPECT_EQ(shown.back().style, static_cast<UINT>(MB_ICONERROR));
    }
  }
  papyl_.Reset();
  EXPECT_EQ(StartFingerprintCapture(), 0);
  EXPECT_EQ(StartFingerprintCapture(), 0);
  EXPECT_EQ(papyl_.CallCount("_PxInitialize@0"), 1) << "a second start calls nothing";
  StopFingerprintCapture();
  StopFingerprintCapture();
  EXPECT_EQ(papyl_.CallCount("_PxFinalize@0"), 1) << "a second stop calls nothing";

  FingerprintLibrary* library = captureState.library;
  captureState.library = nullptr;
  EXPECT_EQ(StartFingerprintCapture(), kNoLibraryObject);
  captureState.library = library;
}

TEST_F(Capture, TheLibrarysEditionChoosesThePicture) {
  const struct {
    int edition;
    bool pictures;
  } cases[] = {{1, true}, {2, true}, {3, false}, {-2, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.edition);
    papyl_.SetResult("_PxGetPapylVersion@8", c.edition);
    for (bool waiting : {true, false}) {
      HBITMAP picture = LoadSensorPicture(waiting);
      EXPECT_EQ(picture != nullptr, c.pictures);
      if (picture) DeleteObject(picture);
    }
  }
}

// Winlogon runs for the machine's whole uptime: a bitmap left behind per finger or per plug
// would sooner or later break the notices. The module's own bitmaps are followed from their
// making to their deletion (handle values are reused once freed, so they are not kept after).
std::set<HBITMAP>* liveBitmaps = nullptr;
LONG bitmapsMade = 0;
CRITICAL_SECTION madeLock;
decltype(&LoadBitmapA) realLoadBitmap = nullptr;
decltype(&CreateCompatibleBitmap) realCreateCompatible = nullptr;
decltype(&DeleteObject) realDeleteObject = nullptr;

HBITMAP Remember(HBITMAP bitmap) {
  EnterCriticalSection(&madeLock);
  if (bitmap) {
    liveBitmaps->insert(bitmap);
    ++bitmapsMade;
  }
  LeaveCriticalSection(&madeLock);
  return bitmap;
}
HBITMAP WINAPI RememberLoaded(HINSTANCE instance, LPCSTR name) {
  return Remember(realLoadBitmap(instance, name));
}
HBITMAP WINAPI RememberCreated(HDC dc, int width, int height) {
  return Remember(realCreateCompatible(dc, width, height));
}
BOOL WINAPI ForgetDeleted(HGDIOBJ object) {
  EnterCriticalSection(&madeLock);
  liveBitmaps->erase(static_cast<HBITMAP>(object));
  LeaveCriticalSection(&madeLock);
  return realDeleteObject(object);
}

class Bitmaps : public Capture {
 protected:
  void PlaceAndPlug(int fingers, int plugCycles);
};

TEST_F(Bitmaps, NoBitmapOfTheModuleOutlivesItsPicture) { PlaceAndPlug(50, 20); }

// The soak that runs with the benchmarks (scripts/bench-wine.sh), outside the pass/fail run.
TEST_F(Bitmaps, DISABLED_Soak) { PlaceAndPlug(1000, 100); }

void Bitmaps::PlaceAndPlug(int fingers, int plugCycles) {
  host_->SetDialogTimeout(0);  // the notice stays up as long as the person goes on
  std::set<HBITMAP> live;
  liveBitmaps = &live;
  bitmapsMade = 0;
  InitializeCriticalSection(&madeLock);
  realLoadBitmap = CodeCast<decltype(realLoadBitmap)>(
      ReplaceImport("USER32.dll", "LoadBitmapA", CodeCast<FARPROC>(RememberLoaded)));
  realCreateCompatible = CodeCast<decltype(realCreateCompatible)>(
      ReplaceImport("GDI32.dll", "CreateCompatibleBitmap", CodeCast<FARPROC>(RememberCreated)));
  realDeleteObject = CodeCast<decltype(realDeleteObject)>(
      ReplaceImport("GDI32.dll", "DeleteObject", CodeCast<FARPROC>(ForgetDeleted)));
  ASSERT_TRUE(realLoadBitmap && realCreateCompatible && realDeleteObject);

  int alive = -1;
  bool aliveIsShown = false;
  RunNotice([&] {
    Plug("reader-1");
    for (int finger = 0; finger < fingers; ++finger) Place("reader-1", 1 + finger % 4);
    for (int cycle = 0; cycle < plugCycles; ++cycle) {
      papyl_.UnplugReader("reader-1");
      Settle();
      Plug("reader-1");
    }
    HBITMAP shown = NoticePicture();
    EnterCriticalSection(&madeLock);
    alive = static_cast<int>(live.size());
    aliveIsShown = alive == 1 && *live.begin() == shown;
    LeaveCriticalSection(&madeLock);
  });
  ReplaceImport("USER32.dll", "LoadBitmapA", CodeCast<FARPROC>(realLoadBitmap));
  ReplaceImport("GDI32.dll", "CreateCompatibleBitmap", CodeCast<FARPROC>(realCreateCompatible));
  int left = static_cast<int>(live.size());

  EXPECT_EQ(BoxesSaying(MsgFingerprintNotFound), fingers);
  EXPECT_GT(bitmapsMade, 2 * fingers);
  EXPECT_EQ(alive, 1) << "only the picture on screen";
  EXPECT_TRUE(aliveIsShown);
  EXPECT_EQ(papyl_.BitmapsAlive(), 0);
  EXPECT_EQ(left, 0) << "the closed notice deleted its picture";
  ReplaceImport("GDI32.dll", "DeleteObject", CodeCast<FARPROC>(realDeleteObject));
  DeleteCriticalSection(&madeLock);
  std::printf("%d fingers, %d plug cycles: %ld bitmaps made, %d alive with the notice up, %d after\n",
              fingers, plugCycles, bitmapsMade, alive, left);
}

// A person who has moved on by pressing Ctrl-Alt-Del: stopping capture must close what the
// callbacks still have open, wait for them a bounded time only (by the clock, even on a timer
// whose ticks make every Sleep longer), and nothing of theirs may reach the library, the candidate
// buffers, the notice or Winlogon afterwards, whether or not the library waits for them as it
// finalises. A reader plugged in while capture stops is not started.
struct StopCase {
  const char* name;
  bool finalizeWaits;
  bool enrolled;      // the finger matches: stopped during the pause before the search
  int extractionMs;   // how long the library's extraction takes
  bool coarseTimer;   // every Sleep of the module lasts whole ticks of 15.6 ms
  bool plugDuringStop;
};

decltype(&Sleep) realSleep = nullptr;
VOID WINAPI SleepWholeTicks(DWORD milliseconds) {
  constexpr DWORD kTick = 16;
  realSleep(milliseconds ? (milliseconds + kTick - 1) / kTick * kTick : 0);
}

class Stop : public Capture, public testing::WithParamInterface<StopCase> {};

TEST_P(Stop, EndsEveryCallbackOfTheLibrary) {
  const StopCase& c = GetParam();
  if (c.enrolled) accounts_->Enrol("alice", FingerprintOnly, 1, "alice-pw");
  boxes_.reset();  // one watcher at a time: this one holds its boxes up
  boxes_ = std::make_unique<MessageBoxWatcher>(nullptr, false);
  papyl_.SetFinalizeWaits(c.finalizeWaits ? 1 : 0);
  papyl_.SetExtractDelay(c.extractionMs);
  RunNotice([&] {
    Plug("reader-1");
    papyl_.PlaceFinger("reader-1", 1);
    if (c.enrolled || c.extractionMs)
      Sleep(150);
    else
      EXPECT_TRUE(boxes_->WaitForCount(1, kIdleTimeout));
  });
  if (c.coarseTimer)
    realSleep = CodeCast<decltype(realSleep)>(
        ReplaceImport("KERNEL32.dll", "Sleep", CodeCast<FARPROC>(SleepWholeTicks)));
  std::thread plugger;
  if (c.plugDuringStop) plugger = std::thread([&] {
    Sleep(300);
    papyl_.PlugReader("reader-2");
  });
  DWORD start = GetTickCount();
  StopFingerprintCapture();
  DWORD took = GetTickCount() - start;
  if (plugger.joinable()) plugger.join();
  if (c.coarseTimer) ReplaceImport("KERNEL32.dll", "Sleep", CodeCast<FARPROC>(realSleep));

  EXPECT_LT(took, 4000u);
  EXPECT_EQ(boxes_->OpenNow(), 0) << "no message box of a stopped capture stays up";
  EXPECT_TRUE(papyl_.WaitIdle(kIdleTimeout));
  EXPECT_EQ(papyl_.LateCalls(), 0);
  EXPECT_EQ(papyl_.FinalizeTimeouts(), 0);
  EXPECT_EQ(papyl_.CallCount("_PxCapStartCapture@12"), 1) << "only the reader of the notice";
  EXPECT_EQ(host_->SasNotifyCount(), 0);
  EXPECT_FALSE(fingerprintMatch.fingerprintMatched);
  EXPECT_STREQ(fingerprintMatch.candidatePassword, "");
}

INSTANTIATE_TEST_SUITE_P(
    Capture, Stop,
    testing::Values(StopCase{"MessageBoxUp", false, false, 0, false, false},
                    StopCase{"MessageBoxUpLibraryWaits", true, false, 0, false, false},
                    StopCase{"Pausing", false, true, 0, false, false},
                    StopCase{"PausingLibraryWaits", true, true, 0, false, false},
                    StopCase{"ExtractionStuckOnACoarseTimer", false, true, 8000, true, false},
                    StopCase{"ReaderPluggedWhileStopping", false, true, 1500, false, true}),
    [](const testing::TestParamInfo<StopCase>& entry) { return std::string(entry.param.name); });

// A slow extraction that outlasts the stop's wait ends under the next notice: it is out of date
// there, and records nothing, raises nothing, shows nothing and calls nothing in the library.
TEST_F(Capture, AnImageOfAnEarlierNoticeDoesNothingUnderTheNext) {
  accounts_->Enrol("alice", FingerprintOnly, 1, "alice-pw");
  papyl_.SetExtractDelay(4500);
  RunNotice([&] {
    Plug("reader-1");
    papyl_.PlaceFinger("reader-1", 1);
    for (int i = 0; i < 2000 && papyl_.CallCount("_PxExtract@28") == 0; ++i) Sleep(10);
  });
  StopFingerprintCapture();
  RunNotice([&] { EXPECT_TRUE(papyl_.WaitIdle(kIdleTimeout)); });

  EXPECT_EQ(papyl_.CallCount("_PxExtract@28"), 1);
  EXPECT_EQ(papyl_.LateCalls(), 0);
  EXPECT_EQ(host_->SasNotifyCount(), 0);
  EXPECT_FALSE(fingerprintMatch.fingerprintMatched);
  EXPECT_STREQ(fingerprintMatch.candidateUser, "");
  EXPECT_TRUE(boxes_->Shown().empty());
}

// A library reads a template as far as its own header says: a stored value shorter than that
// still reaches it in a buffer as big as any template.
TEST_F(Capture, EveryTemplateHandedToTheLibraryHasRoomForAWholeTemplate) {
  accounts_->Enrol("alice", FingerprintOnly, 1, "alice-pw");
  HKEY account = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kStorePath) + "\\alice").c_str(), 0,
                          KEY_SET_VALUE, &account),
            ERROR_SUCCESS);
  const BYTE oneByte = 0x5A;
  RegSetValueExA(account, kTemplate1Value, 0, REG_BINARY, &oneByte, 1);
  RegCloseKey(account);
  papyl_.SetMeasureTemplateRoom(1);
  RunNotice([&] {
    Plug("reader-1");
    Place("reader-1", 1);
  });

  EXPECT_EQ(host_->SasNotifyCount(), 1) << "Template2 matched";
  EXPECT_EQ(papyl_.CallCount("_PxVerify@16"), 3) << "both templates, then Template1 again";
  EXPECT_EQ(papyl_.CallCount("_PxBiometricDisplay@32"), 2) << "plain picture and match picture";
  EXPECT_GE(papyl_.SmallestTemplateRoom(), 10000);
}

// A match left from before (a fill-in cancelled in a mode where the person types the password)
// is gone, the decrypted password above all, from the moment the next notice is up.
TEST_F(Capture, ANoticeForgetsEveryEarlierMatch) {
  CopyTextField(fingerprintMatch.candidateUser, "dan");
  CopyTextField(fingerprintMatch.candidatePassword, "dan-pw");
  fingerprintMatch.fingerprintMatched = true;
  std::string userDuringNotice = "unread", passwordDuringNotice = "unread";
  bool matchedDuringNotice = true;
  RunNotice([&] {
    userDuringNotice.assign(fingerprintMatch.candidateUser, kTextFieldSize);
    passwordDuringNotice.assign(fingerprintMatch.candidatePassword, kTextFieldSize);
    matchedDuringNotice = fingerprintMatch.fingerprintMatched;
  });
  EXPECT_EQ(userDuringNotice, std::string(kTextFieldSize, '\0'));
  EXPECT_EQ(passwordDuringNotice, std::string(kTextFieldSize, '\0'));
  EXPECT_FALSE(matchedDuringNotice);
}

TEST_F(Capture, TwoReadersAtOnceRecordOneWholeMatch) {
  accounts_->Enrol("alice", FingerprintOrPassword, 1, "alice-pw");
  accounts_->Enrol("bob", FingerprintOrPassword, 2, "bob-pw");
  RunNotice([&] {
    Plug("reader-1");
    Plug("reader-2");
    papyl_.PlaceFinger("reader-1", 1);
    papyl_.PlaceFinger("reader-2", 2);
    EXPECT_TRUE(papyl_.WaitIdle(kIdleTimeout));
  });
  EXPECT_EQ(host_->SasNotifyCount(), 1);
  std::string pair = std::string(fingerprintMatch.candidateUser) + "/" + fingerprintMatch.candidatePassword;
  EXPECT_TRUE(pair == "alice/alice-pw" || pair == "bob/bob-pw") << pair;
  EXPECT_TRUE(boxes_->Shown().empty());
}

}  // namespace
