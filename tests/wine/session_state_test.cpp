// The module's own bookkeeping around the system GINA's logon and logoff, checked on the module
// code linked into this executable, whose state the test can read.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fingerprint/FingerprintMatch.h"
#include "gina/GinaState.h"
#include "sim/host/WinlogonHost.h"
#include "tests/wine/support/ModuleUnderTest.h"
#include "tests/wine/support/StandInGina.h"

namespace {

bool AllZero(const char (&field)[kTextFieldSize]) {
  for (char c : field)
    if (c) return false;
  return true;
}

void Fill(char (&field)[kTextFieldSize], const char* text) {
  std::memset(field, 'x', sizeof field);  // bytes past the text must be wiped too
  std::strcpy(field, text);
}

class SessionState : public testing::Test {
 protected:
  void SetUp() override {
    ResetLinkedModuleState();
    ASSERT_TRUE(host_.Negotiate());
    ASSERT_TRUE(host_.Initialize());
  }
  void TearDown() override { ResetLinkedModuleState(); }

  int LoggedOutSas() {
    LUID luid{};
    DWORD options = 0;
    HANDLE token = nullptr;
    WLX_MPR_NOTIFY_INFO mpr{};
    PVOID profile = nullptr;
    return host_.Gina().WlxLoggedOutSAS(host_.Context(), WLX_SAS_TYPE_CTRL_ALT_DEL, &luid,
                                        nullptr, &options, &token, &mpr, &profile);
  }

  StandInGina system_{"full", WLX_VERSION_1_4};
  WinlogonHost host_{LinkedModuleEntries()};
};

struct LogonOutcome {
  const char* candidate;
  int systemAnswer;
};

class AfterLoggedOutSas : public SessionState, public testing::WithParamInterface<LogonOutcome> {};

TEST_P(AfterLoggedOutSas, LoggedOnUserTakesTheCandidateWhateverTheOutcome) {
  Fill(GinaState.loggedOnUser, "previous");
  Fill(fingerprintMatch.candidateUser, GetParam().candidate);
  system_.Control().SetResult("WlxLoggedOutSAS", GetParam().systemAnswer);

  EXPECT_EQ(LoggedOutSas(), GetParam().systemAnswer);
  EXPECT_STREQ(GinaState.loggedOnUser, GetParam().candidate);
  size_t length = std::strlen(GetParam().candidate);
  for (size_t i = length; i < kTextFieldSize; ++i)
    ASSERT_EQ(GinaState.loggedOnUser[i], 0) << "nothing of the previous name stays, byte " << i;
}

INSTANTIATE_TEST_SUITE_P(Logon, AfterLoggedOutSas,
                         testing::Values(LogonOutcome{"anna", WLX_SAS_ACTION_LOGON},
                                         LogonOutcome{"anna", WLX_SAS_ACTION_NONE},
                                         LogonOutcome{"", WLX_SAS_ACTION_NONE},
                                         LogonOutcome{"bob", WLX_SAS_ACTION_SHUTDOWN}));

TEST_F(SessionState, AnOverlongCandidateIsCutToTheField) {
  std::memset(fingerprintMatch.candidateUser, 'n', sizeof fingerprintMatch.candidateUser);  // no terminator
  system_.Control().SetResult("WlxLoggedOutSAS", WLX_SAS_ACTION_NONE);  // no logon dialog
  LoggedOutSas();
  EXPECT_EQ(std::strlen(GinaState.loggedOnUser), kTextFieldSize - 1);
}

struct BuffersAtLogoff {
  bool userWiped = false;
  bool passwordWiped = false;
  bool loggedOnWiped = false;
  bool matchCleared = false;
  int seen = 0;
};

void InspectAtSystemLogoff(const char* entryPoint, void* context) {
  if (std::strcmp(entryPoint, "WlxLogoff") != 0) return;
  auto* seen = static_cast<BuffersAtLogoff*>(context);
  seen->userWiped = AllZero(fingerprintMatch.candidateUser);
  seen->passwordWiped = AllZero(fingerprintMatch.candidatePassword);
  seen->loggedOnWiped = AllZero(GinaState.loggedOnUser);
  seen->matchCleared = !fingerprintMatch.fingerprintMatched;
  ++seen->seen;
}

TEST_F(SessionState, LogoffWipesTheBuffersBeforeTheSystemGinaRuns) {
  Fill(fingerprintMatch.candidateUser, "anna");
  Fill(fingerprintMatch.candidatePassword, "s3cret");
  Fill(GinaState.loggedOnUser, "anna");
  fingerprintMatch.fingerprintMatched = true;
  BuffersAtLogoff seen;
  system_.Control().SetObserver(InspectAtSystemLogoff, &seen);

  host_.Gina().WlxLogoff(host_.Context());

  ASSERT_EQ(seen.seen, 1) << "the system GINA's WlxLogoff ran once";
  EXPECT_TRUE(seen.userWiped);
  EXPECT_TRUE(seen.passwordWiped);
  EXPECT_TRUE(seen.loggedOnWiped);
  EXPECT_TRUE(seen.matchCleared);
}

TEST_F(SessionState, InitializeKeepsWinlogonsHandleAndTable) {
  EXPECT_EQ(GinaState.hWlx, host_.Handle());
  EXPECT_EQ(GinaState.winlogonFunctions, &host_.Dispatch());
  EXPECT_EQ(GinaState.negotiatedVersion, WLX_VERSION_1_4);
  EXPECT_NE(GinaState.savedDialogBoxParam, nullptr);
  EXPECT_NE(reinterpret_cast<void*>(GinaState.savedDialogBoxParam),
            reinterpret_cast<void*>(host_.Dispatch().WlxDialogBoxParam))
      << "the saved service is Winlogon's own, never the hook";
}

TEST_F(SessionState, ASecondInitializeNeverSavesTheHookAsWinlogonsService) {
  auto winlogonService = GinaState.savedDialogBoxParam;
  ASSERT_TRUE(host_.Initialize());
  EXPECT_EQ(GinaState.savedDialogBoxParam, winlogonService);
}

}  // namespace
