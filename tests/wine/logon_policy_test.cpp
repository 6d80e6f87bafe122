// The login modes at the system GINA's logon and unlock dialogs, as the person at the screen meets
// them: what is filled in and submitted, what is refused with which message, and what reaches the
// system GINA. The module's code linked into this program plays the GINA, so a test can set the
// state a matched fingerprint leaves behind; the stand-in system GINA opens real dialogs.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fingerprint/FingerprintMatch.h"
#include "resources/MessageCatalogue.h"
#include "sim/host/WinlogonHost.h"
#include "tests/wine/support/EnrolledAccounts.h"
#include "tests/wine/support/MessageBoxWatcher.h"
#include "tests/wine/support/ModuleUnderTest.h"
#include "tests/wine/support/ScriptedUser.h"
#include "tests/wine/support/StandInGina.h"

namespace {

constexpr DWORD kNotEnrolled = 0xFFFFFFFF;
constexpr int kNoMessage = -1;

// One dialog's controls, entry point and messages (given in the logon dialog's numbering).
struct Dialog {
  const char* name;
  int templateId, nameEdit, passwordEdit;
  MessageId caption;
  int messageOffset;  // unlock messages 18-22 are the logon messages 10-14 moved by 8
};
const Dialog kLogon = {"Logon", 1500, 1502, 1503, MsgLogonCaption, 0};
const Dialog kUnlock = {"Unlock", 1950, 1953, 1954, MsgUnlockCaption, 8};

struct PolicyRow {
  const char* name;
  DWORD aliceMode;           // kNotEnrolled: alice is not in the store
  DWORD bobMode;             // kNotEnrolled: bob is not in the store
  bool matched;              // a fingerprint identified alice (password "alice-pw")
  const char* typedName;     // what the person types before pressing OK; null: presses nothing
  const char* typedPassword;
  std::vector<int> messages;      // boxes, in the logon dialog's numbering
  const char* nameDuringMessage;  // the name edit while the first box is up; null: not checked
  const char* systemName;         // what the system GINA saw at OK; null: the dialog was cancelled
  const char* systemPassword;
  const char* candidateAfter;
};

// Only the first 127 characters of a longer name are read.
const std::string kLongName(200, 'z');
const std::string kLongNameCut(127, 'z');

const PolicyRow kRows[] = {
    // Typed logons: the account of the name in the edit decides.
    {"TypedNotAuthorized", 0, kNotEnrolled, false, "alice", "pw", {MsgLogonNotAuthorized}, "alice", nullptr, nullptr, ""},
    {"TypedFingerprintOnly", 1, kNotEnrolled, false, "alice", "pw", {MsgLogonFingerprintOnly}, nullptr, nullptr, nullptr, ""},
    {"TypedPasswordOnly", 2, kNotEnrolled, false, "alice", "pw", {}, nullptr, "alice", "pw", "alice"},
    {"TypedFingerprintOrPassword", 3, kNotEnrolled, false, "alice", "pw", {}, nullptr, "alice", "pw", "alice"},
    {"TypedFingerprintAndPassword", 4, kNotEnrolled, false, "alice", "pw", {MsgLogonFingerprintAndPassword}, nullptr, nullptr, nullptr, ""},
    {"TypedNoPolicy", 7, kNotEnrolled, false, "alice", "pw", {}, nullptr, "alice", "pw", ""},
    {"TypedNotEnrolled", kNotEnrolled, kNotEnrolled, false, "zoe", "pw", {}, nullptr, "zoe", "pw", "zoe"},
    {"TypedLongNameIsCut", kNotEnrolled, kNotEnrolled, false, kLongName.c_str(), "pw", {}, nullptr, kLongName.c_str(), "pw", kLongNameCut.c_str()},
    // A name with a computer or domain is the same account.
    {"DomainNameNotAuthorized", 0, kNotEnrolled, false, "CORP\\alice", "pw", {MsgLogonNotAuthorized}, nullptr, nullptr, nullptr, ""},
    {"ComputerNameNotAuthorized", 0, kNotEnrolled, false, "WS-01\\alice", "pw", {MsgLogonNotAuthorized}, nullptr, nullptr, nullptr, ""},
    {"PrincipalNameFingerprintOnly", 1, kNotEnrolled, false, "alice@corp.example", "pw", {MsgLogonFingerprintOnly}, nullptr, nullptr, nullptr, ""},
    {"DomainNameFingerprintAndPassword", 4, kNotEnrolled, false, "CORP\\alice", "pw", {MsgLogonFingerprintAndPassword}, nullptr, nullptr, nullptr, ""},
    // A matched fingerprint fills the dialog in as the account's mode says.
    {"MatchedNotAuthorized", 0, kNotEnrolled, true, nullptr, nullptr, {MsgLogonNotAuthorized}, nullptr, nullptr, nullptr, "alice"},
    {"MatchedFingerprintOnly", 1, kNotEnrolled, true, nullptr, nullptr, {}, nullptr, "alice", "alice-pw", "alice"},
    {"MatchedFingerprintOrPassword", 3, kNotEnrolled, true, nullptr, nullptr, {}, nullptr, "alice", "alice-pw", "alice"},
    {"MatchedPasswordOnly", 2, kNotEnrolled, true, "", "typed", {MsgLogonPasswordOnly}, "alice", "alice", "typed", "alice"},
    {"MatchedPasswordOnlyNameEdited", 2, kNotEnrolled, true, "bob", "typed", {MsgLogonPasswordOnly, MsgLogonMismatch}, nullptr, nullptr, nullptr, "alice"},
    {"MatchedFingerprintAndPassword", 4, kNotEnrolled, true, "", "alice-pw", {}, nullptr, "alice", "alice-pw", "alice"},
    {"MatchedFingerprintAndWrongPassword", 4, kNotEnrolled, true, "", "wrong", {MsgLogonMismatch}, nullptr, nullptr, nullptr, "alice"},
    {"MatchedFingerprintAndNameInOtherCase", 4, kNotEnrolled, true, "Alice", "alice-pw", {MsgLogonMismatch}, nullptr, nullptr, nullptr, "alice"},
    {"MatchedNoPolicy", 7, kNotEnrolled, true, "alice", "pw", {}, nullptr, "alice", "pw", "alice"},
    // A fingerprint says nothing about another account typed over it.
    {"MatchedNameEditedToFingerprintOnlyAccount", 7, 1, true, "bob", "pw", {MsgLogonFingerprintOnly}, nullptr, nullptr, nullptr, "alice"},
    {"MatchedNameEditedToBlockedAccount", 7, 0, true, "bob", "pw", {MsgLogonNotAuthorized}, nullptr, nullptr, nullptr, "alice"},
    {"MatchedNameEditedToTypedAccount", 7, 3, true, "bob", "pw", {}, nullptr, "bob", "pw", "bob"},
    {"MatchedNameWithDomainIsTheSameAccount", 7, 1, true, "CORP\\alice", "pw", {}, nullptr, "CORP\\alice", "pw", "alice"},
};

class LogonPolicy : public testing::TestWithParam<std::tuple<Dialog, PolicyRow>> {
 protected:
  void SetUp() override {
    ResetLinkedModuleState();
    ASSERT_TRUE(host_.Negotiate());
    ASSERT_TRUE(host_.Initialize());
    boxes_.SetActiveDialogSource([this] { return host_.ActiveDialog(); });
  }
  void TearDown() override { ResetLinkedModuleState(); }

  // Winlogon hands the SAS to the system GINA, which opens the dialog.
  int HandSasToSystem(const Dialog& dialog) {
    if (dialog.templateId == kUnlock.templateId)
      return host_.Gina().WlxWkstaLockedSAS(host_.Context(), WLX_SAS_TYPE_CTRL_ALT_DEL);
    LUID id{};
    DWORD options = 0;
    HANDLE token = nullptr;
    WLX_MPR_NOTIFY_INFO mpr{};
    PVOID profile = nullptr;
    return host_.Gina().WlxLoggedOutSAS(host_.Context(), WLX_SAS_TYPE_CTRL_ALT_DEL, &id, nullptr,
                                        &options, &token, &mpr, &profile);
  }

  EnrolledAccounts accounts_;
  StandInGina system_{"full", WLX_VERSION_1_4};
  WinlogonHost host_{LinkedModuleEntries()};
  MessageBoxWatcher boxes_{nullptr};
};

bool AllZero(const char (&field)[kTextFieldSize]) {
  for (char c : field)
    if (c) return false;
  return true;
}

TEST_P(LogonPolicy, EnforcesTheAccountsMode) {
  const Dialog& dialog = std::get<0>(GetParam());
  const PolicyRow& row = std::get<1>(GetParam());
  if (row.aliceMode != kNotEnrolled) EnrolledAccounts::EnrolMode("alice", row.aliceMode);
  if (row.bobMode != kNotEnrolled) EnrolledAccounts::EnrolMode("bob", row.bobMode);
  if (row.matched) {
    fingerprintMatch.fingerprintMatched = true;
    CopyTextField(fingerprintMatch.candidateUser, "alice");
    CopyTextField(fingerprintMatch.candidatePassword, "alice-pw");
  }
  ScriptedUser person(host_);
  if (row.typedName) {
    // The person answers once the message the dialog opened with is gone.
    size_t messagesAtOpen = row.matched && row.aliceMode == PasswordOnly ? 1 : 0;
    person.Do([this, messagesAtOpen] {
      for (int i = 0; i < 500 && (boxes_.Shown().size() < messagesAtOpen || boxes_.OpenNow() > 0);
           ++i)
        Sleep(10);
    });
    person.WhenDialog(dialog.nameEdit, [&](DialogHandle& d) {
      if (row.typedName[0]) d.Type(dialog.nameEdit, row.typedName);
      d.Type(dialog.passwordEdit, row.typedPassword);
      d.Press(IDOK);
    });
  }
  HandSasToSystem(dialog);
  EXPECT_TRUE(person.Join());

  std::vector<ShownBox> shown = boxes_.Shown();
  ASSERT_EQ(shown.size(), row.messages.size());
  for (size_t i = 0; i < shown.size(); ++i) {
    MessageId expected = static_cast<MessageId>(row.messages[i] + dialog.messageOffset);
    EXPECT_EQ(shown[i].text, MessageText(expected)) << "box " << i;
    EXPECT_EQ(shown[i].caption, MessageText(dialog.caption));
    EXPECT_EQ(shown[i].style, static_cast<UINT>(MB_ICONWARNING));
  }
  if (row.nameDuringMessage && !shown.empty()) {
    // The logon dialog shows the name while its message is up; the unlock dialog only after.
    bool filledFirst = dialog.templateId == kLogon.templateId || !row.matched;
    std::string expectedName = filledFirst ? row.nameDuringMessage : "";
    std::string seen;
    for (const auto& edit : shown[0].dialogEdits)
      if (edit.first == dialog.nameEdit) seen = edit.second;
    EXPECT_EQ(seen, expectedName);
  }
  SimGinaDialogRecord record{};
  system_.Control().LastDialog(dialog.templateId, &record);
  EXPECT_EQ(record.opened, 1);
  EXPECT_EQ(record.okCount, row.systemName ? 1 : 0);
  EXPECT_EQ(record.cancelCount, row.systemName ? 0 : 1);
  if (row.systemName) {
    EXPECT_STREQ(record.name, row.systemName);
    EXPECT_STREQ(record.password, row.systemPassword);
  }
  EXPECT_STREQ(fingerprintMatch.candidateUser, row.candidateAfter);
  EXPECT_TRUE(AllZero(fingerprintMatch.candidatePassword)) << "the password is gone once the dialog is";
  EXPECT_FALSE(fingerprintMatch.fingerprintMatched);
}

INSTANTIATE_TEST_SUITE_P(Modes, LogonPolicy,
                         testing::Combine(testing::Values(kLogon, kUnlock),
                                          testing::ValuesIn(kRows)),
                         [](const testing::TestParamInfo<std::tuple<Dialog, PolicyRow>>& entry) {
                           return std::string(std::get<0>(entry.param).name) +
                                  std::get<1>(entry.param).name;
                         });

class SecurityOptions : public LogonPolicy {};

// The change-password command is refused however it comes: clicked, or with another
// notification code (an accelerator's 1).
TEST_F(SecurityOptions, RefuseThePasswordChangeAndPassEverythingElse) {
  constexpr WORD kAccelerator = 1;
  ScriptedUser person(host_);
  person.WhenDialog(1803, [](DialogHandle& d) {
    d.Press(1803);
    PostMessageA(d.Window(), WM_COMMAND, MAKEWPARAM(1803, kAccelerator), 0);
    d.Press(1801);  // lock
  });
  EXPECT_EQ(host_.Gina().WlxLoggedOnSAS(host_.Context(), WLX_SAS_TYPE_CTRL_ALT_DEL, nullptr),
            WLX_SAS_ACTION_LOCK_WKSTA);
  EXPECT_TRUE(person.Join());
  std::vector<ShownBox> shown = boxes_.Shown();
  ASSERT_EQ(shown.size(), 2u);
  for (const ShownBox& box : shown) {
    EXPECT_EQ(box.text, MessageText(MsgChangePasswordRefused));
    EXPECT_EQ(box.caption, MessageText(MsgChangePasswordCaption));
    EXPECT_EQ(box.style, static_cast<UINT>(MB_ICONWARNING));
  }
  SimGinaDialogRecord record{};
  system_.Control().LastDialog(1800, &record);
  EXPECT_EQ(record.changePasswordOpened, 0);
}

}  // namespace
