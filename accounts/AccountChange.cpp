// Changing an account's key all or nothing: its values are read before the change and put back,
// or the new key deleted, when a write fails part-way.
#include "accounts/AccountChange.h"

#include <cstring>

#include "accounts/Registry.h"
#include "accounts/RegistryValues.h"

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
  std::string path = AccountKeyPath(keyName);
  bool complete = true;
  for (const StoredValue& value : written) {
    const StoredValue* old = FindValue(before, value.name);
    LONG status = old ? WriteRegistryValue(path.c_str(), old->name.c_str(),
                                           RegistryValue{true, old->type, old->data})
                      : WriteRegistryValue(path.c_str(), value.name.c_str(), RegistryValue());
    complete = complete && status == ERROR_SUCCESS;
  }
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
  LONG status = ReadKeyValues(AccountKeyPath(snapshot.keyName.c_str()).c_str(), snapshot.values);
  snapshot.existed = status == ERROR_SUCCESS;
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
