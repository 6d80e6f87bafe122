#include "tools/enroll/EventSource.h"

#include <windows.h>

#include "resources/EventSource.h"
#include "tools/enroll/GinaRegistry.h"
#include "tools/enroll/ToolMessages.h"
#include "tools/enroll/ToolPlaces.h"

namespace {

LONG WriteSource(const std::string& modulePath) {
  HKEY key = nullptr;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExA(key, kEventMessageFileValue, 0, REG_EXPAND_SZ,
                          reinterpret_cast<const BYTE*>(modulePath.c_str()),
                          static_cast<DWORD>(modulePath.size() + 1));
  DWORD types = kEventTypesSupported;
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExA(key, kTypesSupportedValue, 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&types), sizeof types);
  }
  RegCloseKey(key);
  return status;
}

void TellFailure(const ToolStreams& io, const char* what, LONG status) {
  fprintf(io.err, "%s the event log source %s (HKEY_LOCAL_MACHINE\\%s): %s\n", what,
          kEventSourceName, kEventSourceKey, SystemReason(status).c_str());
}

}  // namespace

void InstallEventSource(const std::string& modulePath, const ToolStreams& io) {
  LONG status = WriteSource(modulePath);
  if (status == ERROR_SUCCESS) return;
  TellFailure(io, "Could not register", status);
  fputs("The module's events are still written, but the Event Viewer cannot show their texts.\n",
        io.err);
}

void UninstallEventSource(const ToolStreams& io) {
  LONG status =
      RemoveValuesAndEmptyKey(kEventSourceKey, kEventMessageFileValue, kTypesSupportedValue);
  if (status != ERROR_SUCCESS) TellFailure(io, "Could not remove", status);
}

void ShowEventSource(const ToolStreams& io) {
  RegistryValue file;
  ReadRegistryValue(kEventSourceKey, kEventMessageFileValue, file);
  if (!file.present) {
    fprintf(io.out,
            "Event log source %s: not registered (the Event Viewer cannot show the texts of the "
            "module's events; install registers it)\n",
            kEventSourceName);
    return;
  }
  std::string module = ValueText(file);
  fprintf(io.out, "Event log source %s: texts from %s%s\n", kEventSourceName, module.c_str(),
          FileIsThere(module) ? "" : " (not there: the Event Viewer cannot show them)");
}
