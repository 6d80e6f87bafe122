// Writing and removing accounts in the store, and checking what was written through the
// module's own reader.
#include "accounts/AccountWriting.h"

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
  // Little-endian, as the reader takes it.
  return DwordValue(kLoginValue, mode);
}

StoredValues AccountValues(LoginMode mode, const Bytes& template1, const Bytes& template2,
                           const Bytes& protectedPassword) {
  return StoredValues{LoginValue(mode),
                      {kTemplate1Value, REG_BINARY, template1},
                      {kTemplate2Value, REG_BINARY, template2},
                      {kPasswordValue, REG_BINARY, protectedPassword}};
}

std::string AccountKeyPath(const char* userName) {
  return std::string(kStorePath) + "\\" + userName;
}

LONG SetAccountValues(const char* userName, const StoredValues& values) {
  if (!userName) return ERROR_INVALID_PARAMETER;
  return WriteKeyValues(AccountKeyPath(userName).c_str(), values);
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
  if (!userName) return ERROR_INVALID_PARAMETER;
  return DeleteKey(AccountKeyPath(userName).c_str());
}
