// The result codes of the store's operations: 0 for success, a negative number for a failure.
// The numbers are fixed: events and the tool's messages show them.
#pragma once

enum StoreResult : int {
  StoreOk = 0,

  // The registry primitives (accounts/Registry.h).
  StoreNoKey = -1,         // the key cannot be opened
  StoreNoKeyInfo = -2,     // the key's subkey count and longest name cannot be queried
  StoreNoSubkeyName = -3,  // a subkey name cannot be enumerated
  StoreNoValue = -7,       // the value is missing or cannot be read

  // The account operations (accounts/AccountStore.h, accounts/TemplateScan.h).
  StoreNullArgument = -1,  // the user name or an out location is null
  StoreNoAccount = -7,     // the account's key does not exist
  StoreUnreadable = -10,   // a value of the account cannot be read, or its password unprotected

  // UnprotectPassword.
  StoreUnprotectFailed = -12,  // the blob cannot be unprotected into a terminated text
};
