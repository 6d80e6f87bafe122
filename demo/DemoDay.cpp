// demo-workstation: the demo. An administrator installs VoDUVO and enrols two users by finger
// with the enrolment tool; then one day at the workstation, through a stand-in Winlogon that
// loads the GINA named by GinaDLL, the stand-in system GINA and the stand-in fingerprint
// library; in the evening the administrator takes it all out again. It prints what the people
// do, what the module shows and what the system GINA received, and asks for screenshots (see
// Screenshots.h) at the moments a person would look.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "demo/Administrator.h"
#include "demo/Person.h"
#include "demo/Screenshots.h"
#include "demo/SystemGinaWitness.h"
#include "demo/Transcript.h"
#include "resources/ResourceIds.h"
#include "sim/host/WinlogonHost.h"
#include "sim/msgina/StandInGinaControl.h"
#include "sim/msgina/StandInGinaDialogIds.h"
#include "sim/papyl/StandInPapylControl.h"
#include "tests/wine/support/EventLogWatcher.h"
#include "tools/enroll/GinaRegistry.h"
#include "tools/enroll/ToolPlaces.h"

namespace {

const DemoUser kAna{"ana", "fingerprint-or-password", 1, "girassol-7", nullptr};
const DemoUser kBruno{"bruno", "fingerprint-and-password", 2, "jabuticaba-3", "jabuticaba-8"};
const std::vector<DemoUser> kUsers{kAna, kBruno};
constexpr int kStrangerFinger = 7;
constexpr char kReader[] = "reader-1";

// A dialog nobody answers ends after this long, as at Winlogon's input timeout.
constexpr DWORD kDialogTimeoutMs = 120000;

// The workstation's fixtures: what a Winlogon process would find, plus the stand-ins' controls.
struct Workstation {
  SimPapylControl papyl{};
  SimGinaControl systemGina{};
  WinlogonHost* host = nullptr;
  EventLogWatcher* events = nullptr;  // the Application log, as Wine keeps none
  HMODULE gina = nullptr;             // whose message table gives the events' texts
};

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return FolderOf(path);
}

// The stand-ins are loaded from this folder first: the tool and the module load them by their
// bare names from the same folder and get these very modules, whose controls the demo holds.
bool LoadStandIns(Workstation& station) {
  std::string folder = ProgramFolder();
  HMODULE papyl = LoadLibraryA((folder + "\\papyl.dll").c_str());
  HMODULE systemGina = LoadLibraryA((folder + "\\MSGINA.DLL").c_str());
  if (!papyl || !systemGina || !station.papyl.Bind(papyl) || !station.systemGina.Bind(systemGina)) {
    PrintLine("The stand-ins papyl.dll and MSGINA.DLL are not beside the demo.");
    return false;
  }
  station.systemGina.Reset(WLX_VERSION_1_4);
  return true;
}

std::string LanguageName() {
  LANGID language = GetSystemDefaultLangID();
  std::string name = language == 1046   ? "Portuguese (Brazil)"
                     : language == 1033 ? "English (United States)"
                                        : "another language";
  return name + ", " + std::to_string(language);
}

const char* ActionName(int action) {
  switch (action) {
    case WLX_SAS_ACTION_LOGON:
      return "log on";
    case WLX_SAS_ACTION_NONE:
      return "nothing (the dialog was cancelled)";
    case WLX_SAS_ACTION_LOCK_WKSTA:
      return "lock the workstation";
    case WLX_SAS_ACTION_LOGOFF:
      return "log off";
    case WLX_SAS_ACTION_UNLOCK_WKSTA:
      return "unlock the workstation";
    case WinlogonHost::kNoSas:
      return "nothing (no SAS came)";
    default:
      return "something else";
  }
}

// Winlogon's thread runs the step while the person's hands act on a thread of their own.
int Together(const std::function<void()>& hands, const std::function<int()>& step) {
  std::thread person(hands);
  int action = step();
  person.join();
  return action;
}

// ---- What the person sees ------------------------------------------------------------------

void ShowNotice(HWND notice) {
  std::string shown = "VoDUVO's notice " + Quoted(Person::Text(notice)) + " reads: ";
  if (GetDlgItem(notice, IDC_UNLOCK_BY))
    shown += Quoted(Person::Text(notice, IDC_IN_USE)) + " / " +
             Quoted(Person::Text(notice, IDC_UNLOCK_BY)) + " / ";
  PrintSeen(shown + Quoted(Person::Text(notice, IDC_FINGERPRINT)) + " / " +
            Quoted(Person::Text(notice, IDC_CTRL_ALT_DEL)));
}

void ShowMessageBox(const ShownMessageBox& box, const std::string& when) {
  PrintSeen("VoDUVO shows a message box" + when + ": " + Quoted(box.caption) + ": " +
            Quoted(box.text));
}

// The events the step left in the Application log, as the Event Viewer shows them to an
// administrator of the day's language.
void ShowEvents(Workstation& station, size_t* shown) {
  if (!station.events) return;
  station.events->WaitUntilQuiet(100, 5000);
  std::vector<LoggedEvent> events = station.events->Events();
  for (; *shown < events.size(); ++*shown) {
    const LoggedEvent& event = events[*shown];
    PrintSeen(std::string("Event Viewer, Application log: ") + EventTypeName(event.type) +
              ", source " + event.source + ", event " + std::to_string(event.id & 0xFFFF) + ": " +
              Quoted(EventText(station.gina, event, GetSystemDefaultLangID())));
  }
}

void ShowSasTime(double ms) {
  if (ms >= 0)
    PrintSeen("VoDUVO raised the SAS " + Milliseconds(ms) + " after the finger was placed.");
}

// A line of the notice changes; the person waits for it and reads the notice again.
void ReadNoticeAfterChange(Person& person, HWND notice, const std::string& before) {
  if (person.AwaitTextChange(notice, IDC_FINGERPRINT, before)) ShowNotice(notice);
}

// ---- The day's steps ------------------------------------------------------------------------

class Day {
 public:
  Day(Workstation& station, Person& person)
      : station_(station), person_(person), witness_(station.systemGina, kUsers) {}

  // The day in order; it stops at the first thing that does not go as planned.
  bool Run() {
    const std::function<void()> parts[] = {
        [this] { Morning(); },
        [this] { AnaLocksAndUnlocks(); },
        [this] { LogOff(kAna); },
        [this] { BrunoTypesAWrongPassword(); },
        [this] { BrunoLogsOn(); },
        [this] { BrunoTriesToChangeHisPassword(); },
        [this] { TheReaderIsUnpluggedWhileLocked(); },
        [this] { LogOff(kBruno); },
    };
    for (const auto& part : parts)
      if (!person_.Failed()) part();
    return !person_.Failed();
  }

 private:
  WinlogonHost& Host() { return *station_.host; }

  // The notice that has the control, once it says the reader is ready (capture runs on it).
  HWND AwaitReadyNotice(int control) {
    HWND notice = person_.AwaitDialog(control);
    if (!notice || !person_.AwaitText(notice, IDC_FINGERPRINT, readyLine_)) return nullptr;
    return notice;
  }

  // Winlogon's steps, each named by the state it starts in.
  using HostState = WinlogonHost::Workstation;

  int RunWinlogonStep(HostState step) {
    switch (step) {
      case HostState::LoggedOut:
        return Host().LoggedOutCycle();
      case HostState::LoggedOn:
        return Host().LoggedOnSas();
      default:
        return Host().LockedCycle();
    }
  }

  // Runs one of Winlogon's steps with the person's hands, then says what came of it.
  int Step(HostState step, const std::function<void()>& hands) {
    witness_.Start();
    int action = Together(hands, [&] { return RunWinlogonStep(step); });
    witness_.Report();
    ShowEvents(station_, &eventsShown_);
    PrintSeen(std::string("The GINA's answer to Winlogon: ") + ActionName(action) + ".");
    return action;
  }

  void Morning() {
    PrintHeading("Morning: the workstation waits for Ctrl-Alt-Del; no reader is plugged in yet");
    Step(HostState::LoggedOut, [&] {
      HWND notice = person_.AwaitDialog(IDC_FINGERPRINT);
      if (!notice) return;
      ShowNotice(notice);
      TakeScreenshot("01-sas-notice-waiting");
      std::string waiting = Person::Text(notice, IDC_FINGERPRINT);
      PrintAction("Someone", "plugs the fingerprint reader in.");
      person_.PlugReader();
      ReadNoticeAfterChange(person_, notice, waiting);
      readyLine_ = Person::Text(notice, IDC_FINGERPRINT);
      TakeScreenshot("02-sas-notice-ready");
      AStrangerTries(notice);
      if (person_.Failed()) return;
      PrintHeading("ana (fingerprint or password) logs on by finger");
      PrintAction("ana", "places her finger on the reader.");
      ShowSasTime(person_.PlaceFingerUntilSas(kAna.finger));
      PrintSeen("The logon dialog fills itself in and is submitted; nobody types.");
    });
  }

  void AStrangerTries(HWND notice) {
    PrintHeading("A stranger tries the reader");
    PrintAction("A stranger", "places a finger on the reader.");
    double waited = 0;
    person_.PlaceFinger(kStrangerFinger);
    ShownMessageBox box = person_.AwaitMessageBox(&waited);
    if (!box.window) return;
    ShowMessageBox(box, " " + Milliseconds(waited) + " after the finger was placed");
    PrintSeen("Meanwhile the notice shows the finger's image with its features.");
    person_.MoveBelow(box, notice);
    TakeScreenshot("03-finger-not-found");
    PrintAction("The stranger", "presses OK and leaves.");
    person_.PressOk(box);
  }

  void AnaLocksAndUnlocks() {
    PrintHeading("ana locks the workstation and unlocks it with her finger");
    Lock(kAna);
    Step(HostState::Locked, [&] {
      HWND notice = AwaitReadyNotice(IDC_UNLOCK_BY);
      if (!notice) return;
      ShowNotice(notice);
      TakeScreenshot("04-locked-notice");
      PrintAction("ana", "places her finger on the reader.");
      ShowSasTime(person_.PlaceFingerUntilSas(kAna.finger));
      PrintSeen("The unlock dialog fills itself in and is submitted; nobody types.");
    });
  }

  // Ctrl-Alt-Del while logged on brings the system GINA's security options.
  void PressInSecurityOptions(const DemoUser& user, int button, const char* what) {
    PrintAction(user.name, std::string("presses Ctrl-Alt-Del, then ") + what + ".");
    Step(HostState::LoggedOn, [&] {
      HWND options = person_.AwaitDialog(SIM_GINA_LOCK_BUTTON);
      if (options) person_.Press(options, button);
    });
  }

  void Lock(const DemoUser& user) {
    PressInSecurityOptions(user, SIM_GINA_LOCK_BUTTON, "Lock Workstation");
  }

  void LogOff(const DemoUser& user) {
    PrintHeading(std::string(user.name) + " logs off");
    PressInSecurityOptions(user, SIM_GINA_LOGOFF_BUTTON, "Log Off");
  }

  // bruno's finger brings the logon dialog with his name in it; he types a password.
  HWND FingerFillsInTheName(const DemoUser& user, int nameEdit, const char* dialogName) {
    PrintAction(user.name, "places his finger on the reader.");
    ShowSasTime(person_.PlaceFingerUntilSas(user.finger));
    HWND dialog = person_.AwaitDialog(nameEdit);
    if (!dialog) return nullptr;
    PrintSeen(std::string("The system GINA's ") + dialogName + " opens with the name " +
              Quoted(Person::Text(dialog, nameEdit)) +
              " filled in by VoDUVO; the password is left to him.");
    return dialog;
  }

  void BrunoTypesAWrongPassword() {
    PrintHeading("bruno (fingerprint and password) logs on: a wrong password is refused");
    Step(HostState::LoggedOut, [&] {
      if (!AwaitReadyNotice(IDC_FINGERPRINT)) return;
      HWND logon = FingerFillsInTheName(kBruno, SIM_GINA_LOGON_NAME, "logon dialog");
      if (!logon) return;
      TakeScreenshot("05-logon-filled-in");
      PrintAction("bruno", "types a password that is not his and presses OK.");
      person_.Type(logon, SIM_GINA_LOGON_PASSWORD, kBruno.wrongGuess);
      person_.Press(logon, IDOK);
      ShownMessageBox box = person_.AwaitMessageBox();
      if (!box.window) return;
      ShowMessageBox(box, "");
      person_.MoveBelow(box, logon);
      TakeScreenshot("06-password-refused");
      PrintAction("bruno", "presses OK.");
      person_.PressOk(box);
      if (person_.AwaitGone(logon)) PrintSeen("The logon dialog is cancelled.");
    });
  }

  void BrunoLogsOn() {
    PrintHeading("bruno tries again: his finger, then his own password");
    Step(HostState::LoggedOut, [&] {
      if (!AwaitReadyNotice(IDC_FINGERPRINT)) return;
      HWND logon = FingerFillsInTheName(kBruno, SIM_GINA_LOGON_NAME, "logon dialog");
      if (!logon) return;
      PrintAction("bruno", "types his password and presses OK.");
      person_.Type(logon, SIM_GINA_LOGON_PASSWORD, kBruno.password);
      person_.Press(logon, IDOK);
    });
  }

  void BrunoTriesToChangeHisPassword() {
    PrintHeading("bruno tries to change his password");
    int before = witness_.ChangePasswordCommands();
    PrintAction("bruno", "presses Ctrl-Alt-Del, then Change Password...");
    Step(HostState::LoggedOn, [&] {
      HWND options = person_.AwaitDialog(SIM_GINA_CHANGE_PASSWORD_BUTTON);
      if (!options) return;
      person_.Press(options, SIM_GINA_CHANGE_PASSWORD_BUTTON);
      ShownMessageBox box = person_.AwaitMessageBox();
      if (box.window) {
        ShowMessageBox(box, "");
        person_.MoveBelow(box, options);
        TakeScreenshot("07-password-change-refused");
        PrintAction("bruno", "presses OK, then Cancel.");
        person_.PressOk(box);
      }
      person_.Press(options, IDCANCEL);
    });
    if (witness_.ChangePasswordCommands() == before)
      PrintSeen("The change-password command never reached the system GINA.");
  }

  void TheReaderIsUnpluggedWhileLocked() {
    PrintHeading("bruno locks the workstation; the reader is unplugged and plugged in again");
    Lock(kBruno);
    Step(HostState::Locked, [&] {
      HWND notice = AwaitReadyNotice(IDC_UNLOCK_BY);
      if (!notice) return;
      ShowNotice(notice);
      std::string ready = Person::Text(notice, IDC_FINGERPRINT);
      PrintAction("Someone", "unplugs the reader.");
      person_.UnplugReader();
      ShownMessageBox box = person_.AwaitMessageBox();
      if (!box.window) return;
      ShowMessageBox(box, "");
      ReadNoticeAfterChange(person_, notice, ready);
      person_.MoveBelow(box, notice);
      TakeScreenshot("08-reader-unplugged");
      PrintAction("bruno", "presses OK and plugs the reader in again.");
      std::string waiting = Person::Text(notice, IDC_FINGERPRINT);
      person_.PressOk(box);
      person_.PlugReader();
      ReadNoticeAfterChange(person_, notice, waiting);
      HWND unlock = FingerFillsInTheName(kBruno, SIM_GINA_UNLOCK_NAME, "unlock dialog");
      if (!unlock) return;
      PrintAction("bruno", "types his password and presses OK.");
      person_.Type(unlock, SIM_GINA_UNLOCK_PASSWORD, kBruno.password);
      TakeScreenshot("09-unlock-filled-in");
      person_.Press(unlock, IDOK);
    });
  }

  Workstation& station_;
  Person& person_;
  SystemGinaWitness witness_;
  std::string readyLine_;  // what the notice says once capture runs on the reader
  size_t eventsShown_ = 0;
};

// ---- The administrator ------------------------------------------------------------------------

bool MorningAdministration(Person& person) {
  PrintHeading("The administrator installs VoDUVO and enrols two users by finger");
  bool done = RunToolCommand({"install"}) == 0;
  for (const DemoUser& user : kUsers) done = EnrolByFinger(person, user) == 0 && done;
  done = RunToolCommand({"list"}) == 0 && done;
  return RunToolCommand({"check"}) == 0 && done;
}

void EveningAdministration() {
  PrintHeading("The administrator takes VoDUVO out again");
  for (const DemoUser& user : kUsers) RunToolCommand({"remove", user.name});
  RunToolCommand({"uninstall"});
}

// ---- Winlogon ---------------------------------------------------------------------------------

std::string GinaDllPath() {
  RegistryValue value;
  ReadRegistryValue(kWinlogonKey, kGinaDllValue, value);
  return value.present ? ValueText(value) : "msgina.dll";
}

bool RunWinlogon(Workstation& station, Person& person) {
  PrintHeading("The computer restarts: Winlogon loads the GINA that GinaDLL names");
  for (const DemoUser& user : kUsers) station.systemGina.SetAccount(user.name, user.password);
  PrintSeen(
      "Windows knows the users ana and bruno with their passwords (the stand-in system GINA checks "
      "them).");
  std::string path = GinaDllPath();
  HMODULE gina = LoadLibraryA(path.c_str());
  PrintSeen("GinaDLL: " + path + (gina ? "" : " (cannot be loaded)"));
  if (!gina) return false;
  GinaInterface entries{};
  BindGinaInterface(gina, entries);
  bool ran = false;
  {
    EventLogWatcher events(gina);
    station.events = &events;
    station.gina = gina;
    WinlogonHost host(entries);
    host.SetDialogTimeout(kDialogTimeoutMs);
    if (host.Negotiate() && host.Initialize()) {
      PrintSeen("The GINA answered version " + std::to_string(HIWORD(host.AnsweredVersion())) +
                "." + std::to_string(LOWORD(host.AnsweredVersion())) + " and is initialised.");
      station.host = &host;
      person.SetHost(&host);
      Day day(station, person);
      ran = day.Run();
      PrintHeading("Evening: the computer shuts down");
      host.Shutdown();
      person.SetHost(nullptr);
      station.host = nullptr;
    }
    station.events = nullptr;
  }
  FreeLibrary(gina);
  PrintSeen("The fingerprint library was given " +
            std::to_string(station.papyl.CallCount("_PxExtract@28")) + " images to read and " +
            std::to_string(station.papyl.CallCount("_PxVerify@16")) +
            " comparisons to make; calls after it was closed: " +
            std::to_string(station.papyl.LateCalls()) + ".");
  return ran;
}

}  // namespace

int main() {
  // The transcript goes out as it is written, with plain line ends.
  _setmode(_fileno(stdout), _O_BINARY);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  PrintLine("VoDUVO demo: a day at a workstation (system language " + LanguageName() + ", " +
            std::to_string(8 * sizeof(void*)) + "-bit build" +
            (ScreenshotsWanted() ? ", screenshots on" : "") + ")");

  Workstation station;
  if (!LoadStandIns(station)) return 1;
  Person person(station.papyl, kReader);
  RegistrySnapshot before = TakeRegistrySnapshot(kUsers);

  bool administered = MorningAdministration(person);
  bool ran = administered && RunWinlogon(station, person);
  EveningAdministration();

  RegistrySnapshot after = TakeRegistrySnapshot(kUsers);
  PrintSeen("Registry before install: " + before.description);
  PrintSeen("Registry after uninstall: " + after.description +
            (after == before ? " (as it was)" : " (NOT as it was)"));
  bool allWell = administered && ran && after == before;
  PrintLine(allWell ? "\nThe day went as planned." : "\nThe day did not go as planned.");
  return allWell ? 0 : 1;
}
