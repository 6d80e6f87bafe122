// The test rig on its own, without the module: the host plays Winlogon for the stand-in system
// GINA, a scripted user answers the stand-in's dialogs, and message boxes are watched.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "sim/host/WinlogonHost.h"
#include "sim/msgina/StandInGinaDialogIds.h"
#include "tests/wine/support/MessageBoxWatcher.h"
#include "tests/wine/support/ScriptedUser.h"
#include "tests/wine/support/StandInGina.h"

namespace {

using Workstation = WinlogonHost::Workstation;

GinaInterface EntriesOf(const StandInGina& system) {
  GinaInterface entries{};
  EXPECT_TRUE(BindGinaInterface(system.Handle(), entries));
  return entries;
}

class RigHost : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.Negotiate());
    ASSERT_TRUE(host_.Initialize());
    system_.Control().SetAccount("alice", "pw");
  }
  SimGinaDialogRecord Record(int templateId) {
    SimGinaDialogRecord record{};
    system_.Control().LastDialog(templateId, &record);
    return record;
  }
  // The user's Ctrl-Alt-Del, then one answer in the logon or unlock dialog.
  static void Answer(ScriptedUser& user, bool unlock, const char* name, const char* password,
                     int button) {
    int nameEdit = unlock ? SIM_GINA_UNLOCK_NAME : SIM_GINA_LOGON_NAME;
    int passwordEdit = unlock ? SIM_GINA_UNLOCK_PASSWORD : SIM_GINA_LOGON_PASSWORD;
    user.PressCtrlAltDel().WhenDialog(nameEdit, [=](DialogHandle& d) {
      d.Type(nameEdit, name);
      d.Type(passwordEdit, password);
      d.Press(button);
    });
  }

  StandInGina system_{"full", WLX_VERSION_1_4};
  WinlogonHost host_{EntriesOf(system_)};
};

struct LogonRow {
  const char* name;
  const char* password;
  int action;
};

class RigLogon : public RigHost, public testing::WithParamInterface<LogonRow> {};

TEST_P(RigLogon, TheLogonDialogAcceptsAKnownAccountWithItsPasswordOnly) {
  const LogonRow& row = GetParam();
  ScriptedUser user(host_);
  Answer(user, false, row.name, row.password, IDOK);

  EXPECT_EQ(host_.LoggedOutCycle(), row.action);
  EXPECT_TRUE(user.Join());
  EXPECT_EQ(host_.LastNoticeSas(), static_cast<DWORD>(WLX_SAS_TYPE_CTRL_ALT_DEL));
  bool loggedOn = row.action == WLX_SAS_ACTION_LOGON;
  EXPECT_EQ(host_.State(), loggedOn ? Workstation::LoggedOn : Workstation::LoggedOut);
  EXPECT_EQ(system_.CallsTo("WlxActivateUserShell").size(), loggedOn ? 1u : 0u);
  SimGinaDialogRecord logon = Record(SIM_GINA_LOGON_DIALOG);
  EXPECT_EQ(logon.opened, 1);
  EXPECT_EQ(logon.okCount, 1);
  EXPECT_EQ(logon.endCode, IDOK);
  EXPECT_STREQ(logon.name, row.name);
  EXPECT_STREQ(logon.password, row.password);
}

INSTANTIATE_TEST_SUITE_P(Rig, RigLogon,
                         testing::Values(LogonRow{"alice", "pw", WLX_SAS_ACTION_LOGON},
                                         LogonRow{"CORP\\ALICE", "pw", WLX_SAS_ACTION_LOGON},
                                         LogonRow{"Alice@corp.example", "pw", WLX_SAS_ACTION_LOGON},
                                         LogonRow{"alice", "PW", WLX_SAS_ACTION_NONE},
                                         LogonRow{"bob", "pw", WLX_SAS_ACTION_NONE}));

TEST_F(RigHost, SecurityOptionsLockAndTheUnlockDialog) {
  ScriptedUser user(host_);
  user.WhenDialog(SIM_GINA_CHANGE_PASSWORD_BUTTON, [](DialogHandle& d) {
    d.Press(SIM_GINA_CHANGE_PASSWORD_BUTTON);
    d.Press(SIM_GINA_LOCK_BUTTON);
  });
  EXPECT_EQ(host_.LoggedOnSas(WLX_SAS_TYPE_CTRL_ALT_DEL), WLX_SAS_ACTION_LOCK_WKSTA);
  EXPECT_EQ(host_.State(), Workstation::Locked);
  SimGinaDialogRecord options = Record(SIM_GINA_SECURITY_OPTIONS_DIALOG);
  EXPECT_EQ(options.changePasswordOpened, 1);
  EXPECT_EQ(options.endCode, SIM_GINA_LOCK_BUTTON);

  Answer(user, true, "alice", "pw", IDCANCEL);
  EXPECT_EQ(host_.LockedCycle(), WLX_SAS_ACTION_NONE);
  EXPECT_EQ(host_.State(), Workstation::Locked);
  Answer(user, true, "alice", "pw", IDOK);
  EXPECT_EQ(host_.LockedCycle(), WLX_SAS_ACTION_UNLOCK_WKSTA);
  EXPECT_EQ(host_.State(), Workstation::LoggedOn);
  EXPECT_TRUE(user.Join());
  SimGinaDialogRecord unlock = Record(SIM_GINA_UNLOCK_DIALOG);
  EXPECT_EQ(unlock.opened, 2);
  EXPECT_EQ(unlock.cancelCount, 1);
  EXPECT_EQ(unlock.okCount, 1);
}

// The stand-in's procedures leave a SAS to Winlogon, which ends the dialog with WLX_DLG_SAS.
TEST_F(RigHost, ASasEndsTheLogonDialogWithoutALogon) {
  ScriptedUser user(host_);
  user.PressCtrlAltDel().WhenDialog(SIM_GINA_LOGON_NAME,
                                    [this](DialogHandle&) { host_.PressCtrlAltDel(); });
  EXPECT_EQ(host_.LoggedOutCycle(), WLX_SAS_ACTION_NONE);
  EXPECT_TRUE(user.Join());
  EXPECT_EQ(Record(SIM_GINA_LOGON_DIALOG).endCode, WLX_DLG_SAS);
}

TEST_F(RigHost, AMessageBoxIsRecordedWithTheDialogsEditsAndPressedAway) {
  MessageBoxWatcher watcher(nullptr);
  ASSERT_TRUE(watcher.Installed());
  watcher.SetActiveDialogSource([this] { return host_.ActiveDialog(); });
  DWORD userThread = 0;
  int answer = 0;
  ScriptedUser user(host_);
  user.PressCtrlAltDel().WhenDialog(SIM_GINA_LOGON_NAME, [&](DialogHandle& d) {
    d.Type(SIM_GINA_LOGON_NAME, "alice");
    d.Type(SIM_GINA_LOGON_PASSWORD, "pw");
    userThread = GetCurrentThreadId();
    answer = MessageBoxA(nullptr, "Check the name", "Rig", MB_ICONWARNING);
    d.Press(IDOK);
  });
  EXPECT_EQ(host_.LoggedOutCycle(), WLX_SAS_ACTION_LOGON);
  EXPECT_TRUE(user.Join());

  EXPECT_EQ(answer, IDOK);
  auto shown = watcher.Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Check the name");
  EXPECT_EQ(shown[0].caption, "Rig");
  EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_ICONWARNING));
  EXPECT_EQ(shown[0].threadId, userThread);
  using Edits = std::vector<std::pair<int, std::string>>;
  EXPECT_EQ(shown[0].dialogEdits,
            (Edits{{SIM_GINA_LOGON_NAME, "alice"}, {SIM_GINA_LOGON_PASSWORD, "pw"}}));
  EXPECT_EQ(watcher.OpenNow(), 0);
}

// Outlives the test, like the thread that writes it.
int heldBoxAnswer;

DWORD WINAPI ShowHeldBox(LPVOID) {
  heldBoxAnswer = MessageBoxA(nullptr, "held", "Rig", MB_OK);
  return 0;
}

TEST(RigMessageBoxes, AHeldBoxStaysUntilDismissed) {
  MessageBoxWatcher watcher(nullptr, false);
  heldBoxAnswer = 0;
  HANDLE shower = CreateThread(nullptr, 0, ShowHeldBox, nullptr, 0, nullptr);
  ASSERT_NE(shower, nullptr);
  EXPECT_TRUE(watcher.WaitForCount(1, 3000));
  Sleep(200);  // longer than an automatic dismissal would take
  EXPECT_EQ(watcher.OpenNow(), 1);
  watcher.DismissAll();
  EXPECT_EQ(WaitForSingleObject(shower, 3000), WAIT_OBJECT_0);
  CloseHandle(shower);
  EXPECT_EQ(heldBoxAnswer, IDOK);
  EXPECT_EQ(watcher.OpenNow(), 0);
}

}  // namespace
