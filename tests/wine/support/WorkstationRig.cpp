#include "tests/wine/support/WorkstationRig.h"

#include <gtest/gtest.h>

#include "resources/MessageCatalogue.h"
#include "tests/wine/support/TestPaths.h"

namespace {

constexpr DWORD kQuietMs = 100;

// English: the suite runs in an English system language.
const char* TouchTheSensor() { return MessageCatalogue[MsgTouchSensor]; }

}  // namespace

WorkstationRig::WorkstationRig(bool withLibrary)
    : ginaDll(withLibrary ? ScopedGinaDll(BinPath("papyl\\VoDUVO.dll")) : ScopedGinaDll()) {
  if (withLibrary) {
    papyl = BindLoadedPapyl();
    papyl.Reset();
  }
  accounts = std::make_unique<EnrolledAccounts>(withLibrary ? &papyl : nullptr);
  events = std::make_unique<EventLogWatcher>(module.Handle());
  host = std::make_unique<WinlogonHost>(module.Entries());
  boxes = std::make_unique<MessageBoxWatcher>(module.Handle());
  boxes->SetActiveDialogSource([this] { return host->ActiveDialog(); });
  EXPECT_TRUE(events->Installed());
  EXPECT_TRUE(host->Negotiate());
  EXPECT_TRUE(host->Initialize());
}

WorkstationRig::~WorkstationRig() {
  boxes.reset();
  host.reset();
  events.reset();
  accounts.reset();
}

void WorkstationRig::Enrol(const char* name, LoginMode mode, int finger1, int finger2,
                           const char* password) {
  accounts->Enrol(name, mode, finger1, finger2, password);
  if (password) system.Control().SetAccount(name, password);
}

void WorkstationRig::AwaitReady(DialogHandle& notice) {
  for (int i = 0; i < 500 && notice.Text(1005) != TouchTheSensor(); ++i) Sleep(10);
}

void WorkstationRig::AwaitBox(size_t shownBefore) {
  boxes->WaitForCount(shownBefore + 1, 5000);
  for (int i = 0; i < 500 && boxes->OpenNow() > 0; ++i) Sleep(10);
}

void WorkstationRig::PlaceFingerOnNotice(ScriptedUser& person, int finger) {
  person.WhenDialog(1005, [this, finger](DialogHandle& notice) {
    AwaitReady(notice);
    papyl.PlaceFinger(kReader, finger);
  });
}

void WorkstationRig::CtrlAltDelOnNotice(ScriptedUser& person) {
  person.WhenDialog(1005, [this](DialogHandle& notice) {
    AwaitReady(notice);
    host->PressCtrlAltDel();
  });
}

void WorkstationRig::TypeAndPress(ScriptedUser& person, int nameEdit, const char* name,
                                  const char* password) {
  person.WhenDialog(nameEdit, [=](DialogHandle& d) {
    if (name) d.Type(nameEdit, name);
    d.Type(nameEdit + 1, password);
    d.Press(IDOK);
  });
}

void WorkstationRig::PressInSecurityOptions(ScriptedUser& person, int button, int expectedAction) {
  person.WhenDialog(button, [button](DialogHandle& d) { d.Press(button); });
  EXPECT_EQ(host->LoggedOnSas(), expectedAction);
}

std::vector<LoggedEvent> WorkstationRig::Events() {
  EXPECT_TRUE(events->WaitUntilQuiet(kQuietMs, 5000));
  return events->Events();
}
