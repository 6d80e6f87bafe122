// Unprotecting an account's stored password, and wiping it once the caller is done with it.
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "accounts/AccountStore.h"

namespace {

// A copy of the text up to and including its first zero byte, or null when there is no zero
// byte within the bytes of one of the logon shim's fields. The plaintext comes with no length of
// its own that callers could check, so it is bounded here, before anyone copies it.
char* CopyBoundedText(const BYTE* bytes, DWORD count) {
  size_t scanned = std::min<size_t>(count, kTextFieldSize);
  const void* zero = memchr(bytes, 0, scanned);
  if (!zero) return nullptr;
  size_t length = static_cast<size_t>(static_cast<const BYTE*>(zero) - bytes) + 1;
  char* copy = new (std::nothrow) char[length];
  if (copy) memcpy(copy, bytes, length);
  return copy;
}

}  // namespace

int UnprotectPassword(const BYTE* blob, DWORD size, char** password) {
  if (!password) return StoreUnprotectFailed;
  *password = nullptr;
  DATA_BLOB input{size, const_cast<BYTE*>(blob)};
  DATA_BLOB entropy{sizeof passwordEntropy, const_cast<BYTE*>(passwordEntropy)};
  DATA_BLOB output{0, nullptr};
  if (!CryptUnprotectData(&input, nullptr, &entropy, nullptr, nullptr, kPasswordProtectionFlags,
                          &output)) {
    return StoreUnprotectFailed;
  }
  *password = output.pbData ? CopyBoundedText(output.pbData, output.cbData) : nullptr;
  SecureZeroMemory(output.pbData, output.cbData);
  LocalFree(output.pbData);
  return *password ? StoreOk : StoreUnprotectFailed;
}

void ReleasePassword(char* password) {
  if (!password) return;
  // UnprotectPassword hands over nothing past the terminator, so this wipes the whole buffer.
  SecureZeroMemory(password, strlen(password) + 1);
  delete[] password;
}
