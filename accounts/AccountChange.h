// Changing an account's key all or nothing. Windows 2000 has no registry transactions, so the
// key's values are read first and, when a write fails part-way, put back as they were.
#pragma once

#include <windows.h>

#include <string>

#include "accounts/AccountWriting.h"

// An account's key as it was before a change: what it takes to put it back exactly.
struct AccountSnapshot {
  bool existed = false;
  std::string keyName;  // the key's own name, which may differ in letter case from the one asked
  StoredValues values;  // every value of the key, in the registry's order
};

// Whether a change of userName renames the key that `before` holds (to other letter case).
bool Renames(const char* userName, const AccountSnapshot& before);

// Reads the account's key, if there is one, into snapshot. Returns a Win32 error code
// (ERROR_SUCCESS also when there is no such account). Nothing may be changed when it fails:
// it could not be put back.
LONG TakeAccountSnapshot(const char* userName, AccountSnapshot& snapshot);

// Makes the account userName hold values, beside any others it holds. When `before` holds the
// key under a name in other letter case, the key is renamed to userName and its other values go
// along. If any step fails, everything done is undone so that the account is again as `before`
// holds it (absent, when it was). Returns a Win32 error code; *restored tells, on failure,
// whether the undoing succeeded.
LONG ChangeAccount(const char* userName, const StoredValues& values, const AccountSnapshot& before,
                   bool* restored);

// Takes back a ChangeAccount that succeeded (with the same arguments): the account is again as
// `before` holds it. Returns whether that succeeded.
bool RestoreAccount(const char* userName, const StoredValues& values,
                    const AccountSnapshot& before);
