#include "tests/wine/support/EnrolledAccounts.h"

#include <gtest/gtest.h>

#include <vector>

#include "accounts/AccountWriting.h"

namespace {

void SetTemplate(SimPapylControl* papyl, const std::string& name, const char* value, int finger,
                 int placement) {
  if (finger == kNoFinger) return;
  ASSERT_NE(papyl, nullptr) << "templates come from the stand-in library";
  std::vector<BYTE> data(20000);
  int size = static_cast<int>(data.size());
  ASSERT_EQ(papyl->EnrolTemplate(finger, placement, data.data(), &size), 0);
  EXPECT_EQ(SetAccountValue(name.c_str(), value, REG_BINARY, data.data(),
                            static_cast<size_t>(size)),
            ERROR_SUCCESS);
}

}  // namespace

void EnrolledAccounts::Enrol(const std::string& name, LoginMode mode, int finger1, int finger2,
                             const char* password) {
  EnrolMode(name, mode);
  SetTemplate(papyl_, name, kTemplate1Value, finger1, kEnrolPlacement1);
  SetTemplate(papyl_, name, kTemplate2Value, finger2, kEnrolPlacement2);
  if (!password) return;
  Bytes blob;
  ASSERT_TRUE(ProtectPassword(password, blob));
  EXPECT_EQ(SetAccountValue(name.c_str(), kPasswordValue, REG_BINARY, blob.data(), blob.size()),
            ERROR_SUCCESS);
}

void EnrolledAccounts::EnrolMode(const std::string& name, DWORD mode) {
  EXPECT_EQ(SetAccountValues(name.c_str(), {LoginValue(static_cast<LoginMode>(mode))}),
            ERROR_SUCCESS);
}

void EnrolledAccounts::Clear() {
  HKEY store = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStorePath, 0, KEY_ALL_ACCESS, &store) != ERROR_SUCCESS)
    return;
  char name[256];
  DWORD length = sizeof name;
  while (RegEnumKeyExA(store, 0, name, &length, nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS) {
    if (RegDeleteKeyA(store, name) != ERROR_SUCCESS) break;
    length = sizeof name;
  }
  RegCloseKey(store);
}

SimPapylControl BindLoadedPapyl() {
  SimPapylControl control{};
  HMODULE papyl = GetModuleHandleA("papyl.dll");
  if (!papyl || !control.Bind(papyl)) ADD_FAILURE() << "the stand-in fingerprint library is not loaded";
  return control;
}
