// One workstation for whole days under test: the module as Winlogon loads it (with the stand-in
// fingerprint library beside it unless told otherwise), the stand-in system GINA, a host that
// plays Winlogon, message boxes pressed away and the event log watched; and the hands of a
// person at it. The watchers go before the module is unloaded.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "sim/host/WinlogonHost.h"
#include "tests/wine/support/EnrolledAccounts.h"
#include "tests/wine/support/EventLogWatcher.h"
#include "tests/wine/support/MessageBoxWatcher.h"
#include "tests/wine/support/ModuleUnderTest.h"
#include "tests/wine/support/ScriptedUser.h"
#include "tests/wine/support/StandInGina.h"
#include "tests/wine/support/WinlogonRegistry.h"

// The reader the rig's people use.
constexpr char kReader[] = "reader-1";

struct WorkstationRig {
  explicit WorkstationRig(bool withLibrary = true);
  ~WorkstationRig();
  WorkstationRig(const WorkstationRig&) = delete;
  WorkstationRig& operator=(const WorkstationRig&) = delete;

  // An account in the store (kNoFinger leaves a template out, a null password leaves CPD out),
  // and the same user with that password known to the system GINA.
  void Enrol(const char* name, LoginMode mode, int finger1, int finger2, const char* password);
  void Enrol(const char* name, LoginMode mode, int finger, const char* password) {
    Enrol(name, mode, finger, finger, password);
  }

  // On the person's thread: the notice says the reader is ready.
  static void AwaitReady(DialogHandle& notice);
  // On the person's thread: one more message box comes and is pressed away.
  void AwaitBox(size_t shownBefore);
  // The person's steps: a finger once capture runs on the notice; Ctrl-Alt-Del then; a name
  // (null: left as it is) and password typed and OK pressed; a button of the security options
  // dialog pressed (the host's step is run and its action checked).
  void PlaceFingerOnNotice(ScriptedUser& person, int finger);
  void CtrlAltDelOnNotice(ScriptedUser& person);
  static void TypeAndPress(ScriptedUser& person, int nameEdit, const char* name,
                           const char* password);
  void PressInSecurityOptions(ScriptedUser& person, int button, int expectedAction);
  // The events reported so far, once the log has been quiet for a moment.
  std::vector<LoggedEvent> Events();

  ScopedGinaDll ginaDll;
  StandInGina system{"full", WLX_VERSION_1_4};
  ModuleUnderTest module;
  SimPapylControl papyl{};
  std::unique_ptr<EnrolledAccounts> accounts;
  std::unique_ptr<EventLogWatcher> events;
  std::unique_ptr<WinlogonHost> host;
  std::unique_ptr<MessageBoxWatcher> boxes;
};
