// The enumeration step of EnumerateSubkeys on a key that is already open. It is apart so that
// tests can drive its failure path (a subkey deleted or renamed after the count was taken)
// without racing the registry. Code outside the store calls EnumerateSubkeys instead.
#pragma once

#include <windows.h>

// Enumerates indices 0 to count - 1 of key (opened with KEY_ENUMERATE_SUB_KEYS), each name into a
// buffer of longestName + 1 bytes. On success *names is a new array of count names (release with
// ReleaseSubkeyNames). If any index fails, everything is released, *names is null and the result
// is StoreNoSubkeyName.
int ReadSubkeyNames(HKEY key, DWORD count, DWORD longestName, char*** names);
