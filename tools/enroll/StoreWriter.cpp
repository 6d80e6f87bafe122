// Writing and removing accounts in the store, and checking what was written through the
// module's own reader.
#include "tools/enroll/StoreWriter.h"

#include <wincrypt.h>

#include <cstring>

#include "accounts/AccountStore.h"

namespace {

bool TemplateReadsBack(const char* userName, int number, const Bytes& expected) {
  TemplateBuffer* record = nullptr;
  bool same = ReadTemplate(userName, &record, number) == StoreOk &&
              static_cast<size_t>(record->size) == expected.size() &&
              (expected.empty() || memcmp(record->data, expected.data(), expected.size()) == 0);
  ReleaseTemplate(record);
  return same;
}

}  // namespace

bool ProtectPassword(const char* password, Bytes& blob) {
  DATA_BLOB plain{static_cast<DWORD>(strlen(password) + 1),
                  reinterpret_cast<BYTE*>(const_cast<char*>(password))};
  DATA_BLOB entropy{sizeof passwordEntropy, const_cast<BYTE*>(passwordEntropy)};
  DATA_BLOB result{0, nullptr};
  if (!CryptProtectData(&plain, L"VoDUVO", &entropy, nullptr, nullptr, kPasswordProtectionFlags,
                        &result)) {
    return false;
  }
  blob.assign(result.pbData, result.pbData + result.cbData);
  LocalFree(result.pbData);
  return true;
}

StoredValue LoginValue(LoginMode mode) {
  // Little-endian on every Windows target, as the reader takes it.
  DWORD login = mode;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(&login);
  return StoredValue{kLoginValue, REG_DWORD, Bytes(bytes, bytes + sizeof login)};
}

StoredValues AccountValues(LoginMode mode, const Bytes& template1, const Bytes& template2,
                           const Bytes& protectedPassword) {
  return StoredValues{LoginValue(mode),
                      {kTemplate1Value, REG_BINARY, template1},
                      {kTemplate2Value, REG_BINARY, template2},
                      {kPasswordValue, REG_BINARY, protectedPassword}};
}

LONG SetAccountValues(const char* userName, const StoredValues& values) {
  char* path = JoinKeyPath(kStorePath, userName);
  if (!path) return ERROR_INVALID_PARAMETER;
  HKEY key = nullptr;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE, nullptr, &key, nullptr);
  delete[] path;
  for (size_t i = 0; status == ERROR_SUCCESS && i < values.size(); ++i) {
    const StoredValue& value = values[i];
    status = RegSetValueExA(key, value.name.c_str(), 0, value.type, value.data.data(),
                            static_cast<DWORD>(value.data.size()));
  }
  if (key) RegCloseKey(key);
  return status;
}

LONG SetAccountValue(const char* userName, const char* valueName, DWORD type, const BYTE* data,
                     size_t size) {
  return SetAccountValues(userName, {{valueName, type, Bytes(data, data + size)}});
}

bool AccountReadsBack(const char* userName, LoginMode mode, const Bytes& template1,
                      const Bytes& template2, const char* password) {
  LoginMode stored = NotAuthorized;
  if (ReadLoginMode(userName, &stored) != StoreOk || stored != mode) return false;
  if (!TemplateReadsBack(userName, 1, template1) || !TemplateReadsBack(userName, 2, template2)) {
    return false;
  }
  char* unprotected = nullptr;
  bool same = ReadPassword(userName, &unprotected) == StoreOk && strcmp(unprotected, password) == 0;
  ReleasePassword(unprotected);
  return same;
}

LONG RemoveAccount(const char* userName) {
  char* path = JoinKeyPath(kStorePath, userName);
  if (!path) return ERROR_INVALID_PARAMETER;
  LONG status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
  delete[] path;
  return status;
}
