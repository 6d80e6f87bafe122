// Whole registry values under HKEY_LOCAL_MACHINE, with their types, read and written through the
// ANSI calls: the writing side of the registry, which only the enrolment tool has (the module
// never writes the registry). Each call opens the key it needs and closes it before it returns.
//
// Paths are whole paths. Results are Win32 error codes (ERROR_SUCCESS on success).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

using Bytes = std::vector<BYTE>;

// One registry value as stored: its name, type and bytes.
struct StoredValue {
  std::string name;
  DWORD type;
  Bytes data;
};
using StoredValues = std::vector<StoredValue>;

// A REG_DWORD value: the number's four bytes, little-endian on every Windows target.
StoredValue DwordValue(const char* name, DWORD number);

// A registry value with its type and bytes, or its absence.
struct RegistryValue {
  bool present = false;
  DWORD type = REG_NONE;
  Bytes data;
};

// Reads the value name of the key path; a missing key or value reads as absent (and
// ERROR_SUCCESS).
LONG ReadRegistryValue(const char* path, const char* name, RegistryValue& value);

// Appends every value of the key path to values, in the registry's order.
LONG ReadKeyValues(const char* path, StoredValues& values);

// Writes values into the key path in their order, creating the key if needed, and stops at the
// first that fails.
LONG WriteKeyValues(const char* path, const StoredValues& values);

// Creates the key path if it is not there.
LONG CreateKey(const char* path);

// Sets the value name of the existing key path as given, or deletes it when absent (a value
// already missing is fine; a missing key is not).
LONG WriteRegistryValue(const char* path, const char* name, const RegistryValue& value);

// Deletes two values of the key path (a missing value or key is fine), and the key when that
// leaves it empty.
LONG RemoveValuesAndEmptyKey(const char* path, const char* first, const char* second);

// Deletes the key path, which has no subkeys (ERROR_FILE_NOT_FOUND when there is no such key).
LONG DeleteKey(const char* path);
