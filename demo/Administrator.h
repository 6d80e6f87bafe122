// The administrator's part of the demo: the enrolment tool's commands, run in this process with
// the tool's own code (what voduvo-enroll.exe runs), so that the fingers placed on the reader
// reach the very fingerprint library the tool reads them through.
#pragma once

#include <string>
#include <vector>

#include "demo/Person.h"

struct DemoUser {
  const char* name;
  const char* mode;        // as the administrator types it
  int finger;              // the stand-in library's finger number
  const char* password;    // the Windows password; never printed
  const char* wrongGuess;  // a password that is not theirs
};

// Prints the command line as typed, runs it and lets it print; answers its exit status. The
// password, when given, arrives as one line on the tool's standard input.
int RunToolCommand(const std::vector<std::string>& arguments, const char* password = nullptr);

// `add USER --mode MODE --finger`: the administrator plugs the reader in when the tool waits
// for one, the user places the finger as the tool asks, and the reader is unplugged after.
int EnrolByFinger(Person& person, const DemoUser& user);

// What install, add, remove and uninstall change: GinaDLL, the install record, the event log
// source and the demo's accounts. Two snapshots compare equal when the registry is as it was.
struct RegistrySnapshot {
  std::string description;  // for the transcript
  std::string ginaDll;      // GinaDLL's presence, type and bytes
  bool operator==(const RegistrySnapshot& other) const {
    return description == other.description && ginaDll == other.ginaDll;
  }
};
RegistrySnapshot TakeRegistrySnapshot(const std::vector<DemoUser>& users);
