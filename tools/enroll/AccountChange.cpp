// Changing an account's key all or nothing: its values are read before the change and put back,
// or the new key deleted, when a write fails part-way.
#include "tools/enroll/AccountChange.h"

#include <cstring>

#include "accounts/Registry.h"

namespace {

// The store's own name for the key that userName opens: userName itself when a key has exactly
// that name, otherwise the one name that differs from it in letter case only. Registry names
// compare without regard to case, so at most one of these exists.
std::string StoredKeyName(const char* userName) {
  char** names = nullptr;
  int32_t count = 0;
  std::string found = userName;
  if (EnumerateSubkeys(kStoreParentPath, kStoreKeyName, &names, &count) != StoreOk) return found;
  bool exact = false;
  for (int32_t i = 0; i < count; ++i) exact = exact || strcmp(names[i], userName) == 0;
  for (int32_t i = 0; i < count && !exact; ++i) {
    if (strlen(names[i]) == found.size() && lstrcmpiA(names[i], userName) == 0) found = names[i];
  }
  ReleaseSubkeyNames(names, count);
  return found;
}

HKEY OpenAccountKey(const char* keyName, REGSAM access, LONG* status) {
  char* path = JoinKeyPath(kStorePath, keyName);
  HKEY key = nullptr;
  *status = path ? RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, &key)
                 : ERROR_NOT_ENOUGH_MEMORY;
  delete[] path;
  return *status == ERROR_SUCCESS ? key : nullptr;
}

LONG ReadValues(HKEY key, StoredValues& values) {
  DWORD count = 0;
  DWORD longestName = 0;
  DWORD largestData = 0;
  LONG status = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                                 &longestName, &largestData, nullptr, nullptr);
  // Room for names counted in characters that take two bytes each in a double-byte code page.
  std::vector<char> name(2 * (longestName + 1));
  Bytes data(largestData);
  for (DWORD index = 0; status == ERROR_SUCCESS && index < count; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD size = largestData;
    DWORD type = 0;
    status = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(),
                           &size);
    if (status == ERROR_SUCCESS) {
      values.push_back({std::string(name.data(), nameLength), type,
                        Bytes(data.begin(), data.begin() + static_cast<ptrdiff_t>(size))});
    }
  }
  return status;
}

// Value names, like key names, compare without regard to case.
const StoredValue* FindValue(const StoredValues& values, const std::string& name) {
  for (const StoredValue& value : values) {
    if (lstrcmpiA(value.name.c_str(), name.c_str()) == 0) return &value;
  }
  return nullptr;
}

// The old values in their order, each replaced by its new form where there is one, followed by
// the new values that the old key lacked.
StoredValues Merged(const StoredValues& old, const StoredValues& changes) {
  StoredValues merged;
  for (const StoredValue& value : old) {
    const StoredValue* changed = FindValue(changes, value.name);
    merged.push_back(changed ? *changed : value);
  }
  for (const StoredValue& value : changes) {
    if (!FindValue(old, value.name)) merged.push_back(value);
  }
  return merged;
}

// Writes back each of the written values as the key held it before, or deletes it where the
// key did not hold it.
bool PutBackValues(const char* keyName, const StoredValues& written, const StoredValues& before) {
  LONG status = ERROR_SUCCESS;
  HKEY key = OpenAccountKey(keyName, KEY_SET_VALUE, &status);
  if (!key) return false;
  bool complete = true;
  for (const StoredValue& value : written) {
    const StoredValue* old = FindValue(before, value.name);
    status = old ? RegSetValueExA(key, old->name.c_str(), 0, old->type, old->data.data(),
                                  static_cast<DWORD>(old->data.size()))
                 : RegDeleteValueA(key, value.name.c_str());
    complete = complete && (status == ERROR_SUCCESS || (!old && status == ERROR_FILE_NOT_FOUND));
  }
  RegCloseKey(key);
  return complete;
}

bool RemoveIfPresent(const char* keyName) {
  LONG status = RemoveAccount(keyName);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool Renames(const char* userName, const AccountSnapshot& before) {
  return before.existed && before.keyName != userName;
}

LONG TakeAccountSnapshot(const char* userName, AccountSnapshot& snapshot) {
  snapshot = AccountSnapshot();
  if (!KeyExists(kStorePath, userName)) return ERROR_SUCCESS;
  snapshot.keyName = StoredKeyName(userName);
  LONG status = ERROR_SUCCESS;
  HKEY key = OpenAccountKey(snapshot.keyName.c_str(), KEY_QUERY_VALUE, &status);
  if (!key) return status;
  snapshot.existed = true;
  status = ReadValues(key, snapshot.values);
  RegCloseKey(key);
  return status;
}

LONG ChangeAccount(const char* userName, const StoredValues& values, const AccountSnapshot& before,
                   bool* restored) {
  *restored = true;
  LONG status = ERROR_SUCCESS;
  if (Renames(userName, before)) {
    // Names that differ in letter case only name one key, and Windows 2000 cannot rename a
    // key: the old key goes, and a new one takes its values. A failed delete changed nothing.
    status = RemoveAccount(before.keyName.c_str());
    if (status != ERROR_SUCCESS) return status;
    status = SetAccountValues(userName, Merged(before.values, values));
  } else {
    status = SetAccountValues(userName, values);
  }
  if (status != ERROR_SUCCESS) *restored = RestoreAccount(userName, values, before);
  return status;
}

bool RestoreAccount(const char* userName, const StoredValues& values,
                    const AccountSnapshot& before) {
  if (!before.existed) return RemoveIfPresent(userName);
  if (Renames(userName, before)) {
    return RemoveIfPresent(userName) &&
           SetAccountValues(before.keyName.c_str(), before.values) == ERROR_SUCCESS;
  }
  return PutBackValues(userName, values, before.values);
}
