// Read-only registry primitives under HKEY_LOCAL_MACHINE, through the ANSI calls. Each call opens
// the keys it needs and closes them before it returns; no key handle ever reaches a caller.
//
// Paths are given as base and sub, joined with one backslash. Everything handed back is
// allocated with new[] and belongs to the caller; on failure nothing is handed back.
#pragma once

#include <windows.h>

#include <cstdint>

// Result codes of the store's operations (the registry primitives and the account operations).
enum StoreResult : int {
  StoreOk = 0,
  StoreNoKey = -1,           // the key cannot be opened; for account operations, a null argument
  StoreNoKeyInfo = -2,       // the subkey count and longest name cannot be queried
  StoreNoSubkeyName = -3,    // a subkey name cannot be enumerated
  StoreNoValue = -7,         // a value is missing or unreadable; for account operations, no account
  StoreUnreadable = -10,     // an account's value cannot be read or its password unprotected
  StoreUnprotectFailed = -12,
};

// first, one backslash, second; null when either is null. Release with delete[].
char* JoinKeyPath(const char* first, const char* second);

// Whether base\sub can be opened for querying values. A key that refuses that access counts as
// missing.
bool KeyExists(const char* base, const char* sub);

// The names of the subkeys of base\sub, in the registry's enumeration order. On success *names
// is an array of *count terminated names (an empty array when there are none); release it with
// ReleaseSubkeyNames. On failure *names is null and *count 0. Returns 0, -1, -2 or -3.
int EnumerateSubkeys(const char* base, const char* sub, char*** names, int32_t* count);
void ReleaseSubkeyNames(char** names, int32_t count);

// The named value of base\sub as text: its stored bytes followed by one zero byte, so the text
// is terminated even when the stored bytes are not. Release with delete[]. Returns 0, -1 or -7.
int ReadStringValue(const char* base, const char* sub, const char* valueName, char** text);

// The named value of base\sub: exactly its stored bytes and their count, whatever the value's
// type. Release *data with delete[]. Returns 0, -1 or -7.
int ReadBinaryValue(const char* base, const char* sub, const char* valueName, BYTE** data,
                    DWORD* size);
