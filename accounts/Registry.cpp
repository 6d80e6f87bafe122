// Read-only registry primitives under HKEY_LOCAL_MACHINE: joining key paths, testing for a key,
// listing subkeys and reading values.
#include "accounts/Registry.h"

#include <cstring>
#include <new>

#include "accounts/SubkeyNames.h"

namespace {

// Opens HKEY_LOCAL_MACHINE\path, or gives null.
HKEY OpenKey(const char* path, REGSAM access) {
  HKEY key = nullptr;
  if (!path || RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, &key) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

HKEY OpenJoinedKey(const char* base, const char* sub, REGSAM access) {
  char* path = JoinKeyPath(base, sub);
  HKEY key = OpenKey(path, access);
  delete[] path;
  return key;
}

int CountSubkeys(const char* path, DWORD* subkeys, DWORD* longestName) {
  HKEY key = OpenKey(path, KEY_QUERY_VALUE);
  if (!key) return StoreNoKey;
  LONG status = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, subkeys, longestName, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? StoreOk : StoreNoKeyInfo;
}

// Reads a value into a new buffer of its size plus guardBytes zero bytes.
int QueryValue(HKEY key, const char* valueName, DWORD guardBytes, BYTE** data, DWORD* size) {
  DWORD stored = 0;
  if (RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &stored) != ERROR_SUCCESS ||
      stored > MAXDWORD - guardBytes) {
    return StoreNoValue;
  }
  // Value-initialised, so the guard bytes are zero even if the value shrinks in between.
  BYTE* buffer = new (std::nothrow) BYTE[stored + guardBytes]();
  if (!buffer) return StoreNoValue;
  if (RegQueryValueExA(key, valueName, nullptr, nullptr, buffer, &stored) != ERROR_SUCCESS) {
    delete[] buffer;
    return StoreNoValue;
  }
  *data = buffer;
  *size = stored;
  return StoreOk;
}

int ReadValue(const char* base, const char* sub, const char* valueName, DWORD guardBytes,
              BYTE** data, DWORD* size) {
  if (!data) return StoreNoKey;
  *data = nullptr;
  HKEY key = OpenJoinedKey(base, sub, KEY_QUERY_VALUE);
  if (!key) return StoreNoKey;
  int result = QueryValue(key, valueName, guardBytes, data, size);
  RegCloseKey(key);
  return result;
}

}  // namespace

char* JoinKeyPath(const char* first, const char* second) {
  if (!first || !second) return nullptr;
  size_t firstLength = strlen(first);
  size_t secondLength = strlen(second);
  char* path = new (std::nothrow) char[firstLength + secondLength + 2];
  if (!path) return nullptr;
  memcpy(path, first, firstLength);
  path[firstLength] = '\\';
  memcpy(path + firstLength + 1, second, secondLength + 1);
  return path;
}

bool KeyExists(const char* path) {
  HKEY key = OpenKey(path, KEY_QUERY_VALUE);
  if (!key) return false;
  RegCloseKey(key);
  return true;
}

bool KeyExists(const char* base, const char* sub) {
  char* path = JoinKeyPath(base, sub);
  bool exists = KeyExists(path);
  delete[] path;
  return exists;
}

int EnumerateSubkeys(const char* base, const char* sub, char*** names, int32_t* count) {
  if (!names || !count) return StoreNoKey;
  *names = nullptr;
  *count = 0;
  char* path = JoinKeyPath(base, sub);
  DWORD subkeys = 0;
  DWORD longestName = 0;
  int result = CountSubkeys(path, &subkeys, &longestName);
  // The count query needs only query access; listing names needs enumeration access.
  HKEY key = result == StoreOk ? OpenKey(path, KEY_ENUMERATE_SUB_KEYS) : nullptr;
  delete[] path;
  if (result != StoreOk) return result;
  if (!key) return StoreNoKey;
  result = ReadSubkeyNames(key, subkeys, longestName, names);
  RegCloseKey(key);
  if (result == StoreOk) *count = static_cast<int32_t>(subkeys);
  return result;
}

int ReadSubkeyNames(HKEY key, DWORD count, DWORD longestName, char*** names) {
  *names = nullptr;
  char** list = new (std::nothrow) char*[count]();
  if (!list) return StoreNoSubkeyName;
  for (DWORD index = 0; index < count; ++index) {
    list[index] = new (std::nothrow) char[longestName + 1];
    // A name longer than the one counted, or an index past the end, means the key changed
    // since the count was taken.
    DWORD length = longestName + 1;
    if (!list[index] || RegEnumKeyExA(key, index, list[index], &length, nullptr, nullptr,
                                      nullptr, nullptr) != ERROR_SUCCESS) {
      ReleaseSubkeyNames(list, static_cast<int32_t>(count));
      return StoreNoSubkeyName;
    }
  }
  *names = list;
  return StoreOk;
}

void ReleaseSubkeyNames(char** names, int32_t count) {
  if (!names) return;
  for (int32_t index = 0; index < count; ++index) delete[] names[index];
  delete[] names;
}

int ReadStringValue(const char* base, const char* sub, const char* valueName, char** text) {
  if (!text) return StoreNoKey;
  // One zero byte after the stored bytes: a string value stored without its terminator can
  // then never make a reader scan past the buffer.
  BYTE* data = nullptr;
  DWORD size = 0;
  int result = ReadValue(base, sub, valueName, 1, &data, &size);
  *text = reinterpret_cast<char*>(data);
  return result;
}

int ReadBinaryValue(const char* base, const char* sub, const char* valueName, BYTE** data,
                    DWORD* size) {
  if (!size) return StoreNoKey;
  *size = 0;
  return ReadValue(base, sub, valueName, 0, data, size);
}
