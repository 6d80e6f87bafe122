// What the stand-in system GINA received during one step of the day: the entry points the module
// passed on, and what reached its logon, security options and unlock dialogs. Names are shown;
// a password only as whether it arrived and whether it was the user's own.
#pragma once

#include <string>
#include <vector>

#include "demo/Administrator.h"
#include "sim/msgina/StandInGinaControl.h"

class SystemGinaWitness {
 public:
  SystemGinaWitness(SimGinaControl& control, const std::vector<DemoUser>& users)
      : control_(control), users_(users) {}
  // Forgets what came before: the next report starts here.
  void Start();
  void Report();
  // How often the security options dialog has received the change-password command in all.
  int ChangePasswordCommands() const;

 private:
  struct Seen {
    int opened = 0;
    int ok = 0;
    int cancelled = 0;
    int changePassword = 0;
  };
  void ReportDialog(int templateId, const char* title, Seen& seen);
  std::string PasswordVerdict(const char* name, const char* password) const;

  SimGinaControl& control_;
  std::vector<DemoUser> users_;
  int calls_ = 0;
  Seen logon_, securityOptions_, unlock_;
};
