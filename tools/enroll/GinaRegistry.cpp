// Winlogon's GinaDLL value and the install record.
#include "tools/enroll/GinaRegistry.h"

#include "accounts/Registry.h"

namespace {

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

LONG WriteGinaDll(const RegistryValue& value) {
  return WriteRegistryValue(kWinlogonKey, kGinaDllValue, value);
}

LONG WriteRecord(const Installation& target) {
  LONG status = CreateKey(kInstallRecordPath);
  if (status == ERROR_SUCCESS) {
    status = WriteRegistryValue(kInstallRecordPath, kPreviousValue, target.previous);
  }
  if (status == ERROR_SUCCESS) {
    status = WriteRegistryValue(kInstallRecordPath, kInstalledValue, target.installed);
  }
  return status;
}

}  // namespace

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

LONG ReadInstallation(Installation& state) {
  state = Installation();
  state.recordExists = KeyExists(kInstallRecordPath);
  LONG status = ReadRegistryValue(kWinlogonKey, kGinaDllValue, state.ginaDll);
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
