#include "tools/enroll/EventSource.h"

#include <windows.h>

#include "accounts/RegistryValues.h"
#include "resources/EventSource.h"
#include "tools/enroll/GinaRegistry.h"
#include "tools/enroll/ToolMessages.h"
#include "tools/enroll/ToolPlaces.h"

namespace {

LONG WriteSource(const std::string& modulePath) {
  StoredValue file{kEventMessageFileValue, REG_EXPAND_SZ, TextValue(modulePath).data};
  return WriteKeyValues(kEventSourceKey,
                        {file, DwordValue(kTypesSupportedValue, kEventTypesSupported)});
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
