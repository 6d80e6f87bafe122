// The time of one identification over N enrolled accounts, next to the time of the bare registry
// reads of the same 2N templates and of the library's 2N verifications alone, in one run. Not a
// test: run it under 64-bit Wine (scripts/bench-wine.sh) and read the figures.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "accounts/AccountStore.h"
#include "accounts/AccountWriting.h"
#include "accounts/StoreFormat.h"
#include "fingerprint/CaptureGate.h"
#include "fingerprint/CaptureState.h"
#include "fingerprint/FingerprintLibrary.h"
#include "fingerprint/Identification.h"
#include "gina/ModuleLifetime.h"
#include "sim/papyl/StandInPapylControl.h"

namespace {

constexpr int kRepeats = 15;

std::string BinDir() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir = path;
  return dir.substr(0, dir.rfind('\\'));
}

double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

template <class Work>
double MedianMs(Work work) {
  std::vector<double> times;
  for (int i = 0; i < kRepeats; ++i) {
    double start = Now();
    work();
    times.push_back(Now() - start);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void ClearStore() {
  HKEY store = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStorePath, 0, KEY_ALL_ACCESS, &store) != ERROR_SUCCESS)
    return;
  char name[256];
  DWORD length = sizeof name;
  while (RegEnumKeyExA(store, 0, name, &length, nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS) {
    RegDeleteKeyA(store, name);
    length = sizeof name;
  }
  RegCloseKey(store);
}

Bytes Template(SimPapylControl& papyl, int finger, int placement) {
  Bytes data(20000);
  int size = static_cast<int>(data.size());
  papyl.EnrolTemplate(finger, placement, data.data(), &size);
  data.resize(static_cast<size_t>(size));
  return data;
}

std::string Name(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "user%04d", i);
  return name;
}

void Enrol(SimPapylControl& papyl, int count) {
  ClearStore();
  Bytes password;
  ProtectPassword("bench-pw", password);
  for (int i = 1; i <= count; ++i) {
    SetAccountValues(Name(i).c_str(), AccountValues(FingerprintOrPassword, Template(papyl, i, 49),
                                                    Template(papyl, i, 50), password));
  }
}

// The same 2N template values, read straight from the registry.
void ReadTemplatesBare(int count) {
  std::vector<BYTE> buffer(20000);
  for (int i = 1; i <= count; ++i) {
    std::string path = std::string(kStorePath) + "\\" + Name(i);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
      continue;
    for (const char* value : {kTemplate1Value, kTemplate2Value}) {
      DWORD size = static_cast<DWORD>(buffer.size());
      RegQueryValueExA(key, value, nullptr, nullptr, buffer.data(), &size);
    }
    RegCloseKey(key);
  }
}

}  // namespace

int main() {
  std::string bin = BinDir();
  HKEY winlogon = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, kWinlogonKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                  &winlogon, nullptr);
  std::string module = bin + "\\papyl\\VoDUVO.dll";
  RegSetValueExA(winlogon, kGinaDllValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(module.c_str()),
                 static_cast<DWORD>(module.size() + 1));
  AttachModule(GetModuleHandleA(nullptr));
  RegDeleteValueA(winlogon, kGinaDllValue);
  RegCloseKey(winlogon);
  SimPapylControl papyl{};
  if (!captureState.library || !papyl.Bind(GetModuleHandleA("papyl.dll"))) {
    std::printf("the stand-in fingerprint library is not beside the benchmark\n");
    return 1;
  }
  captureState.library->PxInitialize();
  OpenCaptureGate();
  CaptureTicket ticket = EnterCallback();

  std::printf("%6s %14s %14s %14s %10s\n", "N", "identify ms", "reads ms", "verifies ms",
              "ratio");
  for (int count : {10, 100, 1000}) {
    Enrol(papyl, count);
    Bytes probe = Template(papyl, count / 2, 0);
    TemplateBuffer candidate{probe.data(), static_cast<int32_t>(probe.size())};
    std::vector<Bytes> references;
    for (int i = 1; i <= count; ++i) {
      references.push_back(Template(papyl, i, 49));
      references.push_back(Template(papyl, i, 50));
    }
    int found = -1;
    double identify = MedianMs([&] {
      char* name = nullptr;
      found = IdentifyFingerprint(&candidate, &name, ticket);
      ReleaseUserName(name);
    });
    double reads = MedianMs([&] { ReadTemplatesBare(count); });
    double verifies = MedianMs([&] {
      int score = 0;
      for (const Bytes& reference : references)
        captureState.library->PxVerify(probe.data(), reference.data(), &score, 0);
    });
    std::printf("%6d %14.2f %14.2f %14.2f %10.2f%s\n", count, identify, reads, verifies,
                identify / (reads + verifies), found == 0 ? "" : "  (no match!)");
  }
  ClearStore();
  captureState.library->PxFinalize();
  DetachModule(false);
  return 0;
}
