// Winlogon's GinaDLL value and the install record.
#include "tools/enroll/GinaRegistry.h"

namespace {

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// Sets the value as given, or deletes it when absent (a value already missing is fine).
LONG WriteValue(HKEY key, const char* name, const RegistryValue& value) {
  if (value.present) {
    return RegSetValueExA(key, name, 0, value.type, value.data.data(),
                          static_cast<DWORD>(value.data.size()));
  }
  LONG status = RegDeleteValueA(key, name);
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LONG WriteGinaDll(const RegistryValue& value) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWinlogonPath, 0, KEY_SET_VALUE, &key);
  if (status != ERROR_SUCCESS) return status;
  status = WriteValue(key, kGinaDllValue, value);
  RegCloseKey(key);
  return status;
}

LONG WriteRecord(const Installation& target) {
  HKEY key = nullptr;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kInstallRecordPath, 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = WriteValue(key, kPreviousValue, target.previous);
  if (status == ERROR_SUCCESS) status = WriteValue(key, kInstalledValue, target.installed);
  RegCloseKey(key);
  return status;
}

bool IsEmptyKey(HKEY key) {
  DWORD subkeys = 0;
  DWORD values = 0;
  return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                          nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
}

}  // namespace

LONG RemoveValuesAndEmptyKey(const char* path, const char* first, const char* second) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &key);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  status = WriteValue(key, first, RegistryValue());
  if (status == ERROR_SUCCESS) status = WriteValue(key, second, RegistryValue());
  bool empty = status == ERROR_SUCCESS && IsEmptyKey(key);
  RegCloseKey(key);
  if (empty) status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
  return status;
}

RegistryValue TextValue(const std::string& text) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return RegistryValue{true, REG_SZ, Bytes(bytes, bytes + text.size() + 1)};
}

std::string ValueText(const RegistryValue& value) {
  std::string text(value.data.begin(), value.data.end());
  return text.substr(0, text.find('\0'));
}

std::string DescribeValue(const RegistryValue& value) {
  if (!value.present) return "not set";
  if (IsText(value.type)) return ValueText(value);
  return "a value of type " + std::to_string(value.type);
}

bool SameText(const RegistryValue& first, const RegistryValue& second) {
  return first.present && second.present && IsText(first.type) && IsText(second.type) &&
         lstrcmpiA(ValueText(first).c_str(), ValueText(second).c_str()) == 0;
}

LONG ReadRegistryValue(const char* path, const char* name, RegistryValue& value) {
  value = RegistryValue();
  HKEY key = nullptr;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key);
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

LONG ReadInstallation(Installation& state) {
  state = Installation();
  HKEY key = nullptr;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstallRecordPath, 0, KEY_QUERY_VALUE, &key);
  state.recordExists = status == ERROR_SUCCESS;
  if (key) RegCloseKey(key);
  status = ReadRegistryValue(kWinlogonPath, kGinaDllValue, state.ginaDll);
  if (status == ERROR_SUCCESS) {
    status = ReadRegistryValue(kInstallRecordPath, kInstalledValue, state.installed);
  }
  if (status == ERROR_SUCCESS) {
    status = ReadRegistryValue(kInstallRecordPath, kPreviousValue, state.previous);
  }
  return status;
}

LONG ApplyInstallation(const Installation& target) {
  if (target.recordExists) {
    LONG status = WriteRecord(target);
    return status == ERROR_SUCCESS ? WriteGinaDll(target.ginaDll) : status;
  }
  LONG status = WriteGinaDll(target.ginaDll);
  return status == ERROR_SUCCESS
             ? RemoveValuesAndEmptyKey(kInstallRecordPath, kPreviousValue, kInstalledValue)
             : status;
}
