// The audit trail in the event log, as an administrator reads it afterwards: days at the
// workstation through the module as Winlogon loads it, with each event's type, id and strings;
// the failures that stop fingerprint logon; and a log that is missing or slow, which must never
// hold up a logon.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "resources/EventMessages.h"
#include "tests/wine/support/EventLogWatcher.h"
#include "tests/wine/support/ImportHook.h"
#include "tests/wine/support/ScriptedUser.h"
#include "tests/wine/support/TestPaths.h"
#include "tests/wine/support/WorkstationRig.h"

namespace {

constexpr WORD kInformation = EVENTLOG_INFORMATION_TYPE;
constexpr WORD kWarning = EVENTLOG_WARNING_TYPE;
constexpr WORD kError = EVENTLOG_ERROR_TYPE;
constexpr int kStranger = 9;

struct ExpectedEvent {
  const char* what;
  DWORD id;
  WORD type;
  std::vector<std::string> strings;
};

std::string Describe(const LoggedEvent& event) {
  std::string text = std::string(EventTypeName(event.type)) + " " +
                     std::to_string(event.id & 0xFFFF) + " from " + event.source + ":";
  for (const std::string& s : event.strings) text += " \"" + s + "\"";
  return text;
}

// The events in order, one row each; every event came from the module's source.
void ExpectEvents(const std::vector<LoggedEvent>& events, const std::vector<ExpectedEvent>& rows) {
  for (size_t i = 0; i < rows.size() || i < events.size(); ++i) {
    if (i >= events.size()) {
      ADD_FAILURE() << "row " << i << " (" << rows[i].what << "): no event";
      continue;
    }
    if (i >= rows.size()) {
      ADD_FAILURE() << "an event no row expects: " << Describe(events[i]);
      continue;
    }
    const ExpectedEvent& row = rows[i];
    EXPECT_EQ(events[i].id, row.id) << "row " << i << " (" << row.what << "): "
                                    << Describe(events[i]);
    EXPECT_EQ(events[i].type, row.type) << "row " << i << " (" << row.what << ")";
    EXPECT_EQ(events[i].strings, row.strings) << "row " << i << " (" << row.what << ")";
    EXPECT_EQ(events[i].source, "VoDUVO") << "row " << i << " (" << row.what << ")";
  }
}

std::vector<LoggedEvent> Without(std::vector<LoggedEvent> events, DWORD id) {
  std::vector<LoggedEvent> kept;
  for (const LoggedEvent& event : events)
    if (event.id != id) kept.push_back(event);
  return kept;
}

// ---- Days at the workstation ------------------------------------------------------------

// The demo's day: the reader plugged in at the logon notice, a stranger, ana (fingerprint or
// password) by finger alone, bruno (fingerprint and password) with a wrong and then his own
// password, a refused password change, the reader unplugged and plugged in while locked.
TEST(AuditTrail, ADayAtTheWorkstation) {
  WorkstationRig station;
  ASSERT_NE(station.module.Handle(), nullptr);
  station.Enrol("ana", FingerprintOrPassword, 1, "ana-pw");
  station.Enrol("bruno", FingerprintAndPassword, 2, "bruno-pw");
  WinlogonHost& host = *station.host;
  ScriptedUser person(host);

  person.WhenDialog(1005, [&](DialogHandle& notice) {
    station.papyl.PlugReader(kReader);
    station.AwaitReady(notice);
    size_t shown = station.boxes->Shown().size();
    station.papyl.PlaceFinger(kReader, kStranger);
    station.AwaitBox(shown);
    station.papyl.PlaceFinger(kReader, 1);
  });
  EXPECT_EQ(host.LoggedOutCycle(), WLX_SAS_ACTION_LOGON);
  station.PressInSecurityOptions(person, 1801, WLX_SAS_ACTION_LOCK_WKSTA);
  station.PlaceFingerOnNotice(person, 1);
  EXPECT_EQ(host.LockedCycle(), WLX_SAS_ACTION_UNLOCK_WKSTA);
  station.PressInSecurityOptions(person, 1802, WLX_SAS_ACTION_LOGOFF);

  station.PlaceFingerOnNotice(person, 2);
  station.TypeAndPress(person, 1502, nullptr, "not-brunos");
  EXPECT_EQ(host.LoggedOutCycle(), WLX_SAS_ACTION_NONE);
  station.PlaceFingerOnNotice(person, 2);
  station.TypeAndPress(person, 1502, nullptr, "bruno-pw");
  EXPECT_EQ(host.LoggedOutCycle(), WLX_SAS_ACTION_LOGON);
  person.WhenDialog(1803, [&](DialogHandle& options) {
    size_t shown = station.boxes->Shown().size();
    options.Press(1803);
    station.AwaitBox(shown);
    options.Press(IDCANCEL);
  });
  host.LoggedOnSas();

  station.PressInSecurityOptions(person, 1801, WLX_SAS_ACTION_LOCK_WKSTA);
  person.WhenDialog(1003, [&](DialogHandle& notice) {
    station.AwaitReady(notice);
    size_t shown = station.boxes->Shown().size();
    station.papyl.UnplugReader(kReader);
    station.AwaitBox(shown);
    station.papyl.PlugReader(kReader);
    station.AwaitReady(notice);
    station.papyl.PlaceFinger(kReader, 2);
  });
  station.TypeAndPress(person, 1953, nullptr, "bruno-pw");
  EXPECT_EQ(host.LockedCycle(), WLX_SAS_ACTION_UNLOCK_WKSTA);
  EXPECT_TRUE(person.Join());

  ExpectEvents(station.Events(),
               {
                   {"a reader plugged in", EVENT_READER_PLUGGED, kInformation, {kReader}},
                   {"a stranger's finger", EVENT_FINGER_NOT_FOUND, kWarning, {"2"}},
                   {"ana's finger", EVENT_LOGON_FINGER_IDENTIFIED, kInformation, {"ana"}},
                   {"logon submitted", EVENT_LOGON_FINGER_SUBMITTED, kInformation, {"ana", "3"}},
                   {"ana's finger, locked", EVENT_UNLOCK_FINGER_IDENTIFIED, kInformation, {"ana"}},
                   {"unlock submitted", EVENT_UNLOCK_FINGER_SUBMITTED, kInformation, {"ana", "3"}},
                   {"bruno's finger", EVENT_LOGON_FINGER_IDENTIFIED, kInformation, {"bruno"}},
                   {"name filled in", EVENT_LOGON_FINGER_NAME_FILLED_IN, kInformation,
                    {"bruno", "4"}},
                   {"a wrong password", EVENT_LOGON_FINGER_MISMATCH, kWarning, {"bruno", "4"}},
                   {"bruno's finger again", EVENT_LOGON_FINGER_IDENTIFIED, kInformation,
                    {"bruno"}},
                   {"name filled in again", EVENT_LOGON_FINGER_NAME_FILLED_IN, kInformation,
                    {"bruno", "4"}},
                   {"a password change", EVENT_PASSWORD_CHANGE_REFUSED, kWarning, {"bruno"}},
                   {"the reader unplugged", EVENT_READER_UNPLUGGED, kWarning, {kReader}},
                   {"plugged in again", EVENT_READER_PLUGGED, kInformation, {kReader}},
                   {"bruno's finger, locked", EVENT_UNLOCK_FINGER_IDENTIFIED, kInformation,
                    {"bruno"}},
                   {"unlock name filled in", EVENT_UNLOCK_FINGER_NAME_FILLED_IN, kInformation,
                    {"bruno", "4"}},
               });
}

// What the modes refuse, typed or by finger, at the logon and at the unlock dialog.
TEST(AuditTrail, ADayOfRefusals) {
  WorkstationRig station;
  ASSERT_NE(station.module.Handle(), nullptr);
  station.Enrol("dora", NotAuthorized, 3, "dora-pw");
  station.Enrol("frank", FingerprintOnly, 4, "frank-pw");
  station.Enrol("carol", PasswordOnly, 5, "carol-pw");
  station.system.Control().SetAccount("zoe", "zoe-pw");  // not enrolled
  station.papyl.PlugReader(kReader);
  WinlogonHost& host = *station.host;
  ScriptedUser person(host);

  station.CtrlAltDelOnNotice(person);
  station.TypeAndPress(person, 1502, "frank", "frank-pw");
  EXPECT_EQ(host.LoggedOutCycle(), WLX_SAS_ACTION_NONE);
  station.PlaceFingerOnNotice(person, 3);
  EXPECT_EQ(host.LoggedOutCycle(), WLX_SAS_ACTION_NONE);
  station.CtrlAltDelOnNotice(person);
  station.TypeAndPress(person, 1502, "zoe", "zoe-pw");
  EXPECT_EQ(host.LoggedOutCycle(), WLX_SAS_ACTION_LOGON);

  station.PressInSecurityOptions(person, 1801, WLX_SAS_ACTION_LOCK_WKSTA);
  station.CtrlAltDelOnNotice(person);
  station.TypeAndPress(person, 1953, "frank", "frank-pw");
  EXPECT_EQ(host.LockedCycle(), WLX_SAS_ACTION_NONE);
  station.PlaceFingerOnNotice(person, 3);
  EXPECT_EQ(host.LockedCycle(), WLX_SAS_ACTION_NONE);
  station.PlaceFingerOnNotice(person, 5);
  person.WhenDialog(1953, [](DialogHandle& unlock) {
    for (int i = 0; i < 500 && unlock.Text(1953) != "carol"; ++i) Sleep(10);
    unlock.Type(1953, "zoe");
    unlock.Type(1954, "zoe-pw");
    unlock.Press(IDOK);
  });
  EXPECT_EQ(host.LockedCycle(), WLX_SAS_ACTION_NONE);
  EXPECT_TRUE(person.Join());

  ExpectEvents(
      station.Events(),
      {
          {"the reader", EVENT_READER_PLUGGED, kInformation, {kReader}},
          {"typed, fingerprint only", EVENT_LOGON_TYPED_REFUSED_BY_MODE, kWarning, {"frank", "1"}},
          {"dora's finger", EVENT_LOGON_FINGER_IDENTIFIED, kInformation, {"dora"}},
          {"not authorized", EVENT_LOGON_FINGER_REFUSED_BY_MODE, kWarning, {"dora", "0"}},
          {"typed unlock", EVENT_UNLOCK_TYPED_REFUSED_BY_MODE, kWarning, {"frank", "1"}},
          {"dora's finger, locked", EVENT_UNLOCK_FINGER_IDENTIFIED, kInformation, {"dora"}},
          {"not authorized to unlock", EVENT_UNLOCK_FINGER_REFUSED_BY_MODE, kWarning,
           {"dora", "0"}},
          {"carol's finger, locked", EVENT_UNLOCK_FINGER_IDENTIFIED, kInformation, {"carol"}},
          {"name filled in", EVENT_UNLOCK_FINGER_NAME_FILLED_IN, kInformation, {"carol", "2"}},
          {"another name typed", EVENT_UNLOCK_FINGER_MISMATCH, kWarning, {"carol", "2"}},
      });
}

// ---- Why fingerprint logon stopped working -----------------------------------------------

LONG WINAPI RefusedQueryInfo(HKEY, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD,
                             LPDWORD, LPDWORD, LPDWORD, PFILETIME) {
  return ERROR_ACCESS_DENIED;
}

decltype(&RegOpenKeyExA) realOpenKey = nullptr;

// The account ivy's key refuses to be opened.
LONG WINAPI IvyRefusingOpenKey(HKEY key, LPCSTR path, DWORD options, REGSAM access, PHKEY result) {
  std::string text = path ? path : "";
  if (text.size() >= 4 && text.compare(text.size() - 4, 4, "\\ivy") == 0) return ERROR_ACCESS_DENIED;
  return realOpenKey(key, path, options, access, result);
}

// One notice each: a finger placed (or, with none, Ctrl-Alt-Del and the logon dialog cancelled),
// and the one event that tells the administrator why it went wrong.
TEST(AuditTrail, SaysWhyFingerprintLogonStopped) {
  const struct {
    const char* what;
    bool withLibrary;
    std::function<void(WorkstationRig&)> arrange;
    int finger;
    ExpectedEvent expected;
  } rows[] = {
      {"an account without Template2", true,
       [](WorkstationRig& s) {
         s.Enrol("ana", FingerprintOrPassword, 1, "ana-pw");
         s.Enrol("gil", FingerprintOrPassword, 6, kNoFinger, "gil-pw");
       },
       1,
       {"", EVENT_ACCOUNT_VALUE_UNREADABLE, kError, {"gil", "Template2", "-10"}}},
      {"an account whose key cannot be opened", true,
       [](WorkstationRig& s) {
         s.Enrol("ivy", FingerprintOrPassword, 6, "ivy-pw");
         realOpenKey = CodeCast<decltype(&RegOpenKeyExA)>(
             ReplaceImport(s.module.Handle(), "ADVAPI32.dll", "RegOpenKeyExA",
                           CodeCast<FARPROC>(IvyRefusingOpenKey)));
       },
       6,
       {"", EVENT_ACCOUNT_KEY_UNREADABLE, kError, {"ivy", "-7"}}},
      {"the identified account's password", true,
       [](WorkstationRig& s) { s.Enrol("hal", FingerprintOrPassword, 7, nullptr); }, 7,
       {"", EVENT_MATCHED_PASSWORD_UNREADABLE, kError, {"hal", "CPD", "-10"}}},
      {"the accounts cannot be listed", true,
       [](WorkstationRig& s) {
         s.Enrol("ana", FingerprintOrPassword, 1, "ana-pw");
         ReplaceImport(s.module.Handle(), "ADVAPI32.dll", "RegQueryInfoKeyA",
                       CodeCast<FARPROC>(RefusedQueryInfo));
       },
       1,
       {"", EVENT_ACCOUNTS_NOT_LISTED, kError, {"-2"}}},
      {"no fingerprint library", false, [](WorkstationRig&) {}, 0,
       {"", EVENT_LIBRARY_NOT_LOADED, kError, {"-113"}}},
      {"the library does not start", true,
       [](WorkstationRig& s) { s.papyl.SetResult("_PxInitialize@0", -1); }, 0,
       {"", EVENT_LIBRARY_START_FAILED, kError, {"-1"}}},
      {"its capture layer does not start", true,
       [](WorkstationRig& s) { s.papyl.SetResult("_PxCapInitialize@4", -5); }, 0,
       {"", EVENT_CAPTURE_START_FAILED, kError, {"-5"}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    WorkstationRig station(row.withLibrary);
    ASSERT_NE(station.module.Handle(), nullptr);
    if (row.withLibrary) station.papyl.PlugReader(kReader);
    row.arrange(station);
    ScriptedUser person(*station.host);
    if (row.finger) {
      station.PlaceFingerOnNotice(person, row.finger);
      person.WhenDialog(1005, [&](DialogHandle&) {
        station.AwaitBox(0);
        station.host->PressCtrlAltDel();
      });
    } else {
      person.WhenDialog(1005, [&](DialogHandle&) { station.host->PressCtrlAltDel(); });
    }
    person.WhenDialog(1502, [](DialogHandle& logon) { logon.Press(IDCANCEL); });
    EXPECT_EQ(station.host->LoggedOutCycle(), WLX_SAS_ACTION_NONE);
    EXPECT_TRUE(person.Join());
    ExpectEvents(Without(station.Events(), EVENT_READER_PLUGGED), {row.expected});
  }
}

// ---- A log that is missing or slow -------------------------------------------------------

// ana logs on by finger whatever the log does: it keeps each report waiting (a busy service),
// has no service at all, or refuses each report.
TEST(AuditTrail, NeverHoldsUpALogon) {
  const struct {
    const char* what;
    std::function<void(EventLogWatcher&)> arrange;
    size_t eventsAfter;  // reports that reached the log
  } rows[] = {
      {"a busy event log", [](EventLogWatcher& log) { log.HoldReports(); }, 3},
      {"no event log service", [](EventLogWatcher& log) { log.SetRegisterFails(true); }, 0},
      {"the log refuses reports", [](EventLogWatcher& log) { log.SetReportFails(true); }, 3},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    WorkstationRig station;
    ASSERT_NE(station.module.Handle(), nullptr);
    station.Enrol("ana", FingerprintOrPassword, 1, "ana-pw");
    station.papyl.PlugReader(kReader);
    row.arrange(*station.events);
    ScriptedUser person(*station.host);
    station.PlaceFingerOnNotice(person, 1);
    DWORD start = GetTickCount();
    EXPECT_EQ(station.host->LoggedOutCycle(), WLX_SAS_ACTION_LOGON);
    EXPECT_TRUE(person.Join());
    EXPECT_LT(GetTickCount() - start, 5000u);
    station.events->ReleaseReports();
    EXPECT_EQ(station.Events().size(), row.eventsAfter);
  }
}

// A logon's events are written by one worker of the module's, not one thread each.
TEST(AuditTrail, OneWorkerWritesALogonsEvents) {
  WorkstationRig station;
  ASSERT_NE(station.module.Handle(), nullptr);
  station.Enrol("ana", FingerprintOrPassword, 1, "ana-pw");
  station.papyl.PlugReader(kReader);
  ScriptedUser person(*station.host);
  station.PlaceFingerOnNotice(person, 1);
  EXPECT_EQ(station.host->LoggedOutCycle(), WLX_SAS_ACTION_LOGON);
  EXPECT_TRUE(person.Join());
  std::vector<LoggedEvent> events = station.Events();
  ASSERT_EQ(events.size(), 3u);
  for (const LoggedEvent& event : events) {
    EXPECT_EQ(event.threadId, events[0].threadId) << Describe(event);
    EXPECT_NE(event.threadId, GetCurrentThreadId()) << Describe(event);
  }
}

// Unloading the module does not wait for a report the log keeps waiting: the module stays
// mapped until that report returns, and then goes.
TEST(AuditTrail, UnloadingDoesNotWaitForTheLog) {
  WorkstationRig station;
  HMODULE module = station.module.Handle();
  ASSERT_NE(module, nullptr);
  station.accounts->EnrolMode("frank", FingerprintOnly);
  station.events->HoldReports();
  ScriptedUser person(*station.host);
  person.PressCtrlAltDel();
  station.TypeAndPress(person, 1502, "frank", "frank-pw");
  EXPECT_EQ(station.host->LoggedOutCycle(), WLX_SAS_ACTION_NONE);
  EXPECT_TRUE(person.Join());
  for (int i = 0; i < 500 && station.events->ReportsWaiting() == 0; ++i) Sleep(10);
  ASSERT_EQ(station.events->ReportsWaiting(), 1) << "the refusal's report waits in the log";

  station.boxes.reset();
  station.host.reset();
  const std::string path = BinPath("VoDUVO.dll");
  DWORD start = GetTickCount();
  EXPECT_TRUE(station.module.Unload(false));
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_EQ(GetModuleHandleA(path.c_str()), module) << "still mapped while the report waits";
  station.events->ReleaseReports();
  for (int i = 0; i < 300 && GetModuleHandleA(path.c_str()); ++i) Sleep(10);
  EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr) << "gone once the report returned";
  EXPECT_EQ(station.events->Events().size(), 1u);
}

}  // namespace
