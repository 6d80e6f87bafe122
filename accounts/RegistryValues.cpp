// Reading and writing whole registry values, with their types.
#include "accounts/RegistryValues.h"

namespace {

LONG OpenKey(const char* path, REGSAM access, HKEY* key) {
  *key = nullptr;
  return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, key);
}

LONG CreateKey(const char* path, HKEY* key) {
  *key = nullptr;
  return RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_SET_VALUE, nullptr, key, nullptr);
}

LONG SetValue(HKEY key, const char* name, DWORD type, const Bytes& data) {
  return RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
}

// Sets the value as given, or deletes it when absent (a value already missing is fine).
LONG WriteValue(HKEY key, const char* name, const RegistryValue& value) {
  if (value.present) return SetValue(key, name, value.type, value.data);
  LONG status = RegDeleteValueA(key, name);
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

bool IsEmptyKey(HKEY key) {
  DWORD subkeys = 0;
  DWORD values = 0;
  return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                          nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
}

LONG EnumerateValues(HKEY key, StoredValues& values) {
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

}  // namespace

StoredValue DwordValue(const char* name, DWORD number) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(&number);
  return StoredValue{name, REG_DWORD, Bytes(bytes, bytes + sizeof number)};
}

LONG ReadRegistryValue(const char* path, const char* name, RegistryValue& value) {
  value = RegistryValue();
  HKEY key = nullptr;
  LONG status = OpenKey(path, KEY_QUERY_VALUE, &key);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  DWORD size = 0;
  status = RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    value.data.resize(size);
    status = RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &size);
    value.data.resize(size);
  }
  RegCloseKey(key);
  value.present = status == ERROR_SUCCESS;
  if (!value.present) value.data.clear();
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LONG ReadKeyValues(const char* path, StoredValues& values) {
  HKEY key = nullptr;
  LONG status = OpenKey(path, KEY_QUERY_VALUE, &key);
  if (status != ERROR_SUCCESS) return status;
  status = EnumerateValues(key, values);
  RegCloseKey(key);
  return status;
}

LONG WriteKeyValues(const char* path, const StoredValues& values) {
  HKEY key = nullptr;
  LONG status = CreateKey(path, &key);
  for (size_t i = 0; status == ERROR_SUCCESS && i < values.size(); ++i) {
    status = SetValue(key, values[i].name.c_str(), values[i].type, values[i].data);
  }
  if (key) RegCloseKey(key);
  return status;
}

LONG CreateKey(const char* path) {
  HKEY key = nullptr;
  LONG status = CreateKey(path, &key);
  if (key) RegCloseKey(key);
  return status;
}

LONG WriteRegistryValue(const char* path, const char* name, const RegistryValue& value) {
  HKEY key = nullptr;
  LONG status = OpenKey(path, KEY_SET_VALUE, &key);
  if (status != ERROR_SUCCESS) return status;
  status = WriteValue(key, name, value);
  RegCloseKey(key);
  return status;
}

LONG RemoveValuesAndEmptyKey(const char* path, const char* first, const char* second) {
  HKEY key = nullptr;
  LONG status = OpenKey(path, KEY_SET_VALUE | KEY_QUERY_VALUE, &key);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  status = WriteValue(key, first, RegistryValue());
  if (status == ERROR_SUCCESS) status = WriteValue(key, second, RegistryValue());
  bool empty = status == ERROR_SUCCESS && IsEmptyKey(key);
  RegCloseKey(key);
  if (empty) status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
  return status;
}

LONG DeleteKey(const char* path) { return RegDeleteKeyA(HKEY_LOCAL_MACHINE, path); }
