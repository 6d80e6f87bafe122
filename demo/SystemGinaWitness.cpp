#include "demo/SystemGinaWitness.h"

#include <windows.h>

#include "demo/Transcript.h"
#include "sim/msgina/StandInGinaDialogIds.h"

namespace {

// Entry points that run every step and say nothing of it.
bool Routine(const std::string& entryPoint) {
  return entryPoint == "WlxIsLogoffOk" || entryPoint == "WlxIsLockOk";
}

}  // namespace

void SystemGinaWitness::Start() {
  calls_ = control_.CallCount();
  SimGinaDialogRecord record{};
  const std::pair<int, Seen*> dialogs[] = {{SIM_GINA_LOGON_DIALOG, &logon_},
                                           {SIM_GINA_SECURITY_OPTIONS_DIALOG, &securityOptions_},
                                           {SIM_GINA_UNLOCK_DIALOG, &unlock_}};
  for (const auto& dialog : dialogs) {
    control_.LastDialog(dialog.first, &record);
    *dialog.second =
        Seen{record.opened, record.okCount, record.cancelCount, record.changePasswordOpened};
    SecureZeroMemory(&record, sizeof record);
  }
}

void SystemGinaWitness::Report() {
  std::string called;
  for (int i = calls_; i < control_.CallCount(); ++i) {
    std::string entryPoint = control_.CallAt(i)->entryPoint;
    if (!Routine(entryPoint)) called += (called.empty() ? "" : ", ") + entryPoint;
  }
  calls_ = control_.CallCount();
  if (!called.empty()) PrintSeen("The system GINA was called: " + called + ".");
  ReportDialog(SIM_GINA_LOGON_DIALOG, "logon dialog", logon_);
  ReportDialog(SIM_GINA_SECURITY_OPTIONS_DIALOG, "security options dialog", securityOptions_);
  ReportDialog(SIM_GINA_UNLOCK_DIALOG, "unlock dialog", unlock_);
}

void SystemGinaWitness::ReportDialog(int templateId, const char* title, Seen& seen) {
  SimGinaDialogRecord record{};
  control_.LastDialog(templateId, &record);
  std::string what = std::string("The system GINA's ") + title;
  bool credentials = templateId != SIM_GINA_SECURITY_OPTIONS_DIALOG;
  if (record.okCount > seen.ok)
    PrintSeen(what + " received OK with the name " + Quoted(record.name) + " and " +
              PasswordVerdict(record.name, record.password) + ".");
  if (record.cancelCount > seen.cancelled)
    PrintSeen(
        what + " was cancelled" +
        (credentials && record.okCount == seen.ok ? ": no name or password reached it." : "."));
  if (record.changePasswordOpened > seen.changePassword)
    PrintSeen(what + " received the change-password command.");
  seen = Seen{record.opened, record.okCount, record.cancelCount, record.changePasswordOpened};
  SecureZeroMemory(&record, sizeof record);
}

int SystemGinaWitness::ChangePasswordCommands() const {
  SimGinaDialogRecord record{};
  control_.LastDialog(SIM_GINA_SECURITY_OPTIONS_DIALOG, &record);
  int commands = record.changePasswordOpened;
  SecureZeroMemory(&record, sizeof record);
  return commands;
}

std::string SystemGinaWitness::PasswordVerdict(const char* name, const char* password) const {
  if (!*password) return "no password";
  for (const DemoUser& user : users_)
    if (lstrcmpiA(user.name, name) == 0)
      return lstrcmpA(user.password, password) == 0 ? "a password: the user's own"
                                                    : "a password: not the user's own";
  return "a password";
}
