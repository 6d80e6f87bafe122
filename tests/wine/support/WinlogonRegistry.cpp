#include "tests/wine/support/WinlogonRegistry.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

const char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

HKEY OpenWinlogon(REGSAM access) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kWinlogonKey, 0, nullptr, 0, access, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

// The whole suite starts without the value and leaves the prefix as it found it.
class GinaDllEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    hadValue_ = ReadGinaDll(&oldValue_);
    RemoveGinaDll();
  }
  void TearDown() override {
    if (hadValue_) SetGinaDll(oldValue_);
  }

 private:
  bool hadValue_ = false;
  std::string oldValue_;
};

testing::Environment* const environment = testing::AddGlobalTestEnvironment(new GinaDllEnvironment);

}  // namespace

bool ReadGinaDll(std::string* value) {
  HKEY key = OpenWinlogon(KEY_QUERY_VALUE);
  if (!key) return false;
  char text[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  DWORD type = 0;
  bool found = RegQueryValueExA(key, "GinaDLL", nullptr, &type, reinterpret_cast<BYTE*>(text),
                                &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (found) *value = text;
  return found;
}

bool SetGinaDll(const std::string& value) {
  HKEY key = OpenWinlogon(KEY_SET_VALUE);
  if (!key) return false;
  bool set = RegSetValueExA(key, "GinaDLL", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
  RegCloseKey(key);
  return set;
}

void RemoveGinaDll() {
  HKEY key = OpenWinlogon(KEY_SET_VALUE);
  if (!key) return;
  RegDeleteValueA(key, "GinaDLL");
  RegCloseKey(key);
}

ScopedGinaDll::ScopedGinaDll() : hadValue_(ReadGinaDll(&oldValue_)) { RemoveGinaDll(); }

ScopedGinaDll::ScopedGinaDll(const std::string& value) : hadValue_(ReadGinaDll(&oldValue_)) {
  EXPECT_TRUE(SetGinaDll(value));
}

ScopedGinaDll::~ScopedGinaDll() {
  if (hadValue_)
    SetGinaDll(oldValue_);
  else
    RemoveGinaDll();
}
