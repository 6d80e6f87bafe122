// The login modes as the tool's commands take and show them: a number or a name.
#pragma once

#include "accounts/StoreFormat.h"

// The mode's name ("fingerprint-only", ...); "no-policy" for a number above the named ones.
const char* NameOfMode(LoginMode mode);

// The mode that text names by number ("1") or by name ("fingerprint-only"); false for neither.
bool ParseMode(const char* text, LoginMode* mode);
