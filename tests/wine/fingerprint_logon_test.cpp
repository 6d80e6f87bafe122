// Whole days at the workstation through the module as Winlogon loads it (VoDUVO.dll beside the
// stand-in fingerprint library): notices, fingers, the system GINA's dialogs and their outcomes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gina/GinaState.h"
#include "resources/MessageCatalogue.h"
#include "sim/host/WinlogonHost.h"
#include "tests/wine/support/EnrolledAccounts.h"
#include "tests/wine/support/MessageBoxWatcher.h"
#include "tests/wine/support/ModuleUnderTest.h"
#include "tests/wine/support/ScriptedUser.h"
#include "tests/wine/support/StandInGina.h"
#include "tests/wine/support/TestPaths.h"
#include "tests/wine/support/WinlogonRegistry.h"
#include "tests/wine/support/WorkstationRig.h"

namespace {

using Workstation = WinlogonHost::Workstation;
constexpr int kLockButton = 1801;

// English texts: the suite runs in an English system language.
std::string Text(MessageId id) { return MessageCatalogue[id]; }

class FingerprintLogon : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(module_.Handle(), nullptr);
    papyl_.PlugReader("reader-1");
  }

  void Enrol(const char* name, LoginMode mode, int finger, const char* password) {
    rig_.Enrol(name, mode, finger, password);
  }

  // The person waits for the notice to say the reader is ready, then places a finger.
  void PlaceFingerOnNotice(ScriptedUser& person, int finger, std::string* lockedLine = nullptr) {
    person.WhenDialog(1005, [this, finger, lockedLine](DialogHandle& notice) {
      WorkstationRig::AwaitReady(notice);
      if (lockedLine) *lockedLine = notice.Text(1003);
      papyl_.PlaceFinger("reader-1", finger);
    });
  }
  void TypeAndPress(ScriptedUser& person, int nameEdit, const char* name, const char* password) {
    WorkstationRig::TypeAndPress(person, nameEdit, name, password);
  }
  void Lock(ScriptedUser& person) {
    rig_.PressInSecurityOptions(person, kLockButton, WLX_SAS_ACTION_LOCK_WKSTA);
  }
  SimGinaDialogRecord Record(int templateId) {
    SimGinaDialogRecord record{};
    system_.Control().LastDialog(templateId, &record);
    return record;
  }

  WorkstationRig rig_;
  ModuleUnderTest& module_ = rig_.module;
  StandInGina& system_ = rig_.system;
  SimPapylControl& papyl_ = rig_.papyl;
  std::unique_ptr<WinlogonHost>& host_ = rig_.host;
  std::unique_ptr<MessageBoxWatcher>& boxes_ = rig_.boxes;
};

TEST_F(FingerprintLogon, AFingerLogsOnLocksAndUnlocksByItself) {
  Enrol("alice", FingerprintOrPassword, 1, "alice-pw");
  ScriptedUser person(*host_);
  PlaceFingerOnNotice(person, 1);
  EXPECT_EQ(host_->LoggedOutCycle(), WLX_SAS_ACTION_LOGON);
  EXPECT_EQ(host_->State(), Workstation::LoggedOn);
  SimGinaDialogRecord logon = Record(1500);
  EXPECT_EQ(logon.okCount, 1);
  EXPECT_STREQ(logon.name, "alice");
  EXPECT_STREQ(logon.password, "alice-pw") << "the decrypted password was submitted";

  Lock(person);
  std::string lockedLine;
  PlaceFingerOnNotice(person, 1, &lockedLine);
  EXPECT_EQ(host_->LockedCycle(), WLX_SAS_ACTION_UNLOCK_WKSTA);
  EXPECT_TRUE(person.Join());
  EXPECT_EQ(lockedLine, Text(MsgLockedUnlockByStart) + "alice" + Text(MsgLockedUnlockByEnd));
  SimGinaDialogRecord unlock = Record(1950);
  EXPECT_STREQ(unlock.name, "alice");
  EXPECT_STREQ(unlock.password, "alice-pw");
  EXPECT_TRUE(boxes_->Shown().empty());
  EXPECT_EQ(host_->SasNotifyCount(), 2);
  EXPECT_EQ(papyl_.LateCalls(), 0);
}

TEST_F(FingerprintLogon, FingerprintAndPasswordUnlocksWithTheRightPasswordOnly) {
  Enrol("carol", FingerprintAndPassword, 3, "carol-pw");
  ScriptedUser person(*host_);
  PlaceFingerOnNotice(person, 3);
  TypeAndPress(person, 1502, nullptr, "carol-pw");
  EXPECT_EQ(host_->LoggedOutCycle(), WLX_SAS_ACTION_LOGON);
  Lock(person);
  PlaceFingerOnNotice(person, 3);
  TypeAndPress(person, 1953, nullptr, "not-carols");
  EXPECT_EQ(host_->LockedCycle(), WLX_SAS_ACTION_NONE);
  PlaceFingerOnNotice(person, 3);
  TypeAndPress(person, 1953, nullptr, "carol-pw");
  EXPECT_EQ(host_->LockedCycle(), WLX_SAS_ACTION_UNLOCK_WKSTA);
  EXPECT_TRUE(person.Join());

  SimGinaDialogRecord unlock = Record(1950);
  EXPECT_EQ(unlock.opened, 2);
  EXPECT_EQ(unlock.cancelCount, 1);
  EXPECT_EQ(unlock.okCount, 1);
  EXPECT_STREQ(unlock.name, "carol");
  std::vector<ShownBox> shown = boxes_->Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, Text(MsgUnlockMismatch));
  EXPECT_EQ(shown[0].caption, Text(MsgUnlockCaption));
}

TEST_F(FingerprintLogon, TypedLogonsFollowTheAccountsMode) {
  Enrol("frank", FingerprintOnly, 4, "frank-pw");
  system_.Control().SetAccount("zoe", "zoe-pw");  // not enrolled: the module stays out of the way
  ScriptedUser person(*host_);
  person.PressCtrlAltDel();
  TypeAndPress(person, 1502, "frank", "frank-pw");
  EXPECT_EQ(host_->LoggedOutCycle(), WLX_SAS_ACTION_NONE);
  person.PressCtrlAltDel();
  TypeAndPress(person, 1502, "zoe", "zoe-pw");
  EXPECT_EQ(host_->LoggedOutCycle(), WLX_SAS_ACTION_LOGON);
  EXPECT_TRUE(person.Join());

  SimGinaDialogRecord logon = Record(1500);
  EXPECT_EQ(logon.cancelCount, 1);
  EXPECT_EQ(logon.okCount, 1);
  EXPECT_STREQ(logon.name, "zoe");
  std::vector<ShownBox> shown = boxes_->Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, Text(MsgLogonFingerprintOnly));
  EXPECT_EQ(shown[0].caption, Text(MsgLogonCaption));
  EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_ICONWARNING));
}

// A library may report a reader already plugged in from its own thread before
// _PxCapInitialize@4 returns, and wait for that callback: the callback must not wait in turn for
// Winlogon's thread, which is inside that call.
TEST_F(FingerprintLogon, ALibraryThatReportsReadersBeforeItsInitialisationReturnsStillLogsOn) {
  Enrol("alice", FingerprintOrPassword, 1, "alice-pw");
  papyl_.SetReportsInsideInitialize(1);
  ScriptedUser person(*host_);
  bool readyPicture = false;
  person.WhenDialog(1005, [&](DialogHandle& notice) {
    for (int i = 0; i < 500 && notice.Text(1005) != Text(MsgTouchSensor); ++i) Sleep(10);
    readyPicture = SendDlgItemMessageA(notice.Window(), 1006, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0;
    papyl_.PlaceFinger("reader-1", 1);
  });
  EXPECT_EQ(host_->LoggedOutCycle(), WLX_SAS_ACTION_LOGON);
  EXPECT_TRUE(person.Join());
  EXPECT_EQ(papyl_.ReportTimeouts(), 0) << "the report's callback returned at once";
  EXPECT_TRUE(readyPicture);
  EXPECT_STREQ(Record(1500).name, "alice");
  EXPECT_EQ(papyl_.LateCalls(), 0);
}

TEST_F(FingerprintLogon, AMatchLeftUnusedIsForgottenByTheNextNotice) {
  Enrol("dan", PasswordOnly, 5, "dan-pw");
  system_.Control().SetAccount("zoe", "zoe-pw");
  ScriptedUser person(*host_);
  PlaceFingerOnNotice(person, 5);
  std::string filledName, nameAtNextDialog = "unread";
  person.WhenDialog(1502, [&](DialogHandle& d) {
    for (int i = 0; i < 500 && boxes_->Shown().empty(); ++i) Sleep(10);
    filledName = d.Text(1502);
    d.Press(IDCANCEL);
  });
  EXPECT_EQ(host_->LoggedOutCycle(), WLX_SAS_ACTION_NONE);
  person.PressCtrlAltDel().WhenDialog(1502, [&](DialogHandle& d) {
    nameAtNextDialog = d.Text(1502);
    d.Type(1502, "zoe");
    d.Type(1503, "zoe-pw");
    d.Press(IDOK);
  });
  EXPECT_EQ(host_->LoggedOutCycle(), WLX_SAS_ACTION_LOGON);
  EXPECT_TRUE(person.Join());

  EXPECT_EQ(filledName, "dan");
  EXPECT_EQ(nameAtNextDialog, "");
  ASSERT_EQ(boxes_->Shown().size(), 1u) << "only the first dialog said to type the password";
  EXPECT_EQ(boxes_->Shown()[0].text, Text(MsgLogonPasswordOnly));
  EXPECT_STREQ(Record(1500).name, "zoe");
}

}  // namespace
