// The login modes' numbers and names.
#include "tools/enroll/ModeNames.h"

#include <cstring>

namespace {

struct ModeName {
  LoginMode mode;
  const char* number;
  const char* name;
};

constexpr ModeName kModes[] = {
    {NotAuthorized, "0", "not-authorized"},
    {FingerprintOnly, "1", "fingerprint-only"},
    {PasswordOnly, "2", "password-only"},
    {FingerprintOrPassword, "3", "fingerprint-or-password"},
    {FingerprintAndPassword, "4", "fingerprint-and-password"},
};

}  // namespace

const char* NameOfMode(LoginMode mode) {
  for (const ModeName& m : kModes) {
    if (m.mode == mode) return m.name;
  }
  return "no-policy";
}

bool ParseMode(const char* text, LoginMode* mode) {
  for (const ModeName& m : kModes) {
    if (strcmp(text, m.number) == 0 || strcmp(text, m.name) == 0) {
      *mode = m.mode;
      return true;
    }
  }
  return false;
}
