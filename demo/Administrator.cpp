#include "demo/Administrator.h"

#include <windows.h>

#include <cstdio>
#include <thread>

#include "accounts/Registry.h"
#include "accounts/StoreFormat.h"
#include "demo/Transcript.h"
#include "resources/EventSource.h"
#include "tools/enroll/EnrollTool.h"
#include "tools/enroll/GinaRegistry.h"

namespace {

constexpr DWORD kToolLimitMs = 60000;
// Enough pairs of placements for one that does not match and a new pair.
constexpr int kMaxPlacements = 6;

// The password as a one-line file that the tool reads as its standard input.
std::string PasswordFile(const char* password) {
  char folder[MAX_PATH], name[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  if (!GetTempFileNameA(folder, "vdm", 0, name)) return "";
  FILE* file = std::fopen(name, "wb");
  if (!file) return "";
  std::fprintf(file, "%s\n", password);
  std::fclose(file);
  return name;
}

void DeletePasswordFile(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "r+b");
  if (file) {
    std::fseek(file, 0, SEEK_END);
    long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    for (long i = 0; i < size; ++i) std::fputc(0, file);
    std::fclose(file);
  }
  DeleteFileA(path.c_str());
}

// The user's finger, placed as the tool asks: one placement, then another once the first has
// been read, and again while the tool still takes placements (when a pair did not match).
void PlaceFingerForTheTool(Person& person, const DemoUser& user) {
  int finalised = person.LibraryCalls("_PxCapFinalize@0");
  for (int placement = 0; placement < kMaxPlacements; ++placement) {
    int extracted = person.LibraryCalls("_PxExtract@28");
    PrintAction(user.name,
                placement ? "places the same finger again." : "places a finger on the reader.");
    person.PlaceFinger(user.finger);
    if (!person.AwaitLibraryCall("_PxExtract@28", extracted, kToolLimitMs)) return;
    if (placement % 2 == 0) {
      Sleep(300);
      continue;
    }
    if (person.AwaitLibraryCall("_PxCapFinalize@0", finalised, 3000)) return;
  }
}

std::string Describe(const RegistryValue& value) {
  return value.present ? DescribeValue(value) : "(none)";
}

}  // namespace

int RunToolCommand(const std::vector<std::string>& arguments, const char* password) {
  std::string typed = "voduvo-enroll";
  std::vector<const char*> argv{"voduvo-enroll"};
  for (const std::string& argument : arguments) {
    typed += " " + argument;
    argv.push_back(argument.c_str());
  }
  PrintLine("administrator> " + typed);
  std::string passwordFile = password ? PasswordFile(password) : "";
  FILE* input = passwordFile.empty() ? nullptr : std::fopen(passwordFile.c_str(), "rb");
  ToolStreams io{input ? input : stdin, stdout, stdout, nullptr};
  int status = RunEnrollTool(static_cast<int>(argv.size()), argv.data(), io);
  std::fflush(stdout);
  if (input) std::fclose(input);
  if (!passwordFile.empty()) DeletePasswordFile(passwordFile);
  if (status != kExitOk) PrintSeen("(exit status " + std::to_string(status) + ")");
  return status;
}

int EnrolByFinger(Person& person, const DemoUser& user) {
  int initialised = person.LibraryCalls("_PxCapInitialize@4");
  int started = person.LibraryCalls("_PxCapStartCapture@12");
  std::thread hands([&] {
    if (!person.AwaitLibraryCall("_PxCapInitialize@4", initialised, kToolLimitMs)) return;
    Sleep(300);
    PrintAction("The administrator", "plugs a fingerprint reader in.");
    person.PlugReader();
    if (!person.AwaitLibraryCall("_PxCapStartCapture@12", started, kToolLimitMs)) return;
    Sleep(300);
    PlaceFingerForTheTool(person, user);
  });
  PrintAction("The administrator", std::string("gives ") + user.name +
                                       "'s password on the tool's standard input (never shown).");
  int status = RunToolCommand({"add", user.name, "--mode", user.mode, "--finger"}, user.password);
  hands.join();
  PrintAction("The administrator", "unplugs the reader.");
  person.UnplugReader();
  return status;
}

RegistrySnapshot TakeRegistrySnapshot(const std::vector<DemoUser>& users) {
  Installation installation;
  ReadInstallation(installation);
  RegistrySnapshot snapshot;
  snapshot.description = std::string("GinaDLL ") + Describe(installation.ginaDll) + ", " +
                         kInstallRecordPath + (installation.recordExists ? " present" : " absent") +
                         ", event log source " + kEventSourceName +
                         (KeyExists(kEventSourceKey) ? " registered" : " not registered");
  for (const DemoUser& user : users)
    snapshot.description +=
        std::string(", ") + user.name +
        (KeyExists(kStorePath, user.name) ? " enrolled" : " not enrolled");
  const RegistryValue& gina = installation.ginaDll;
  snapshot.ginaDll = std::to_string(gina.present) + ":" + std::to_string(gina.type) + ":" +
                     std::string(gina.data.begin(), gina.data.end());
  return snapshot;
}
