// The account operations: an enrolled account's login mode, templates and protected password,
// each read afresh from the account's key in the store.
#include "accounts/AccountStore.h"

#include <new>

namespace {

const char* TemplateValueName(int number) {
  switch (number) {
    case 1: return kTemplate1Value;
    case 2: return kTemplate2Value;
    default: return nullptr;
  }
}

LoginMode LittleEndianMode(const BYTE* bytes) {
  return static_cast<LoginMode>(DWORD{bytes[0]} | DWORD{bytes[1]} << 8 | DWORD{bytes[2]} << 16 |
                                DWORD{bytes[3]} << 24);
}

}  // namespace

int ReadLoginMode(const char* userName, LoginMode* mode) {
  if (!userName || !mode) return StoreNullArgument;
  if (!KeyExists(kStorePath, userName)) return StoreNoAccount;
  BYTE* data = nullptr;
  DWORD size = 0;
  if (ReadBinaryValue(kStorePath, userName, kLoginValue, &data, &size) != StoreOk) {
    return StoreUnreadable;
  }
  // Fewer than four stored bytes hold no mode, and taking four would read past them.
  bool complete = size >= 4;
  if (complete) *mode = LittleEndianMode(data);
  delete[] data;
  return complete ? StoreOk : StoreUnreadable;
}

int ReadTemplate(const char* userName, TemplateBuffer** record, int number) {
  if (!userName || !record) return StoreNullArgument;
  *record = nullptr;
  if (!KeyExists(kStorePath, userName)) return StoreNoAccount;
  // From here on the record is the caller's, whatever the outcome.
  *record = new (std::nothrow) TemplateBuffer{nullptr, 0};
  const char* valueName = TemplateValueName(number);
  if (!*record || !valueName) return StoreUnreadable;
  BYTE* data = nullptr;
  DWORD size = 0;
  if (ReadBinaryValue(kStorePath, userName, valueName, &data, &size) != StoreOk ||
      size > INT32_MAX) {
    delete[] data;
    return StoreUnreadable;
  }
  (*record)->data = data;
  (*record)->size = static_cast<int32_t>(size);
  return StoreOk;
}

int ReadPassword(const char* userName, char** password) {
  if (!userName || !password) return StoreNullArgument;
  *password = nullptr;
  if (!KeyExists(kStorePath, userName)) return StoreNoAccount;
  BYTE* blob = nullptr;
  DWORD size = 0;
  if (ReadBinaryValue(kStorePath, userName, kPasswordValue, &blob, &size) != StoreOk) {
    return StoreUnreadable;
  }
  int result = UnprotectPassword(blob, size, password);
  delete[] blob;
  return result == StoreOk ? StoreOk : StoreUnreadable;
}

void ReleaseTemplate(TemplateBuffer* record) {
  if (!record) return;
  delete[] record->data;
  delete record;
}
