// Read-only registry primitives under HKEY_LOCAL_MACHINE, through the ANSI calls. Each call opens
// the keys it needs and closes them before it returns; no key handle ever reaches a caller.
//
// Paths are given as base and sub, joined with one backslash. Everything handed back is
// allocated with new[] and belongs to the caller; on failure nothing is handed back.
#pragma once

#include <windows.h>

#include <cstdint>

#include "accounts/StoreResult.h"

// first, one backslash, second; null when either is null. Release with delete[].
char* JoinKeyPath(const char* first, const char* second);

// Whether base\sub can be opened for querying values. A key that refuses that access counts as
// missing.
bool KeyExists(const char* base, const char* sub);
// The same for a whole path (false for null).
bool KeyExists(const char* path);

// The names of the subkeys of base\sub, in the registry's enumeration order. On success *names
// is an array of *count terminated names (an empty array when there are none); release it with
// ReleaseSubkeyNames. On failure *names is null and *count 0. Returns StoreOk, StoreNoKey,
// StoreNoKeyInfo or StoreNoSubkeyName.
int EnumerateSubkeys(const char* base, const char* sub, char*** names, int32_t* count);
void ReleaseSubkeyNames(char** names, int32_t count);

// The named value of base\sub as text: its stored bytes followed by one zero byte, so the text
// is terminated even when the stored bytes are not. Release with delete[]. Returns StoreOk,
// StoreNoKey or StoreNoValue.
int ReadStringValue(const char* base, const char* sub, const char* valueName, char** text);

// The named value of base\sub: exactly its stored bytes and their count, whatever the value's
// type. Release *data with delete[]. Returns StoreOk, StoreNoKey or StoreNoValue.
int ReadBinaryValue(const char* base, const char* sub, const char* valueName, BYTE** data,
                    DWORD* size);
