// The module's event log source: install registers it, so that the Event Viewer finds the texts
// of the module's events in the module's message table; uninstall removes it; check shows it.
#pragma once

#include <string>

#include "tools/enroll/EnrollTool.h"

// Points the source at the installed module, with the types of event it reports. A failure is
// told on standard error and changes nothing else: the module's events are still written.
void InstallEventSource(const std::string& modulePath, const ToolStreams& io);

// Removes the two values install wrote, and the source's key when nothing else is left in it. A
// source that is not registered is fine; a failure is told on standard error.
void UninstallEventSource(const ToolStreams& io);

// One line: whether the source is registered and which module's texts it shows.
void ShowEventSource(const ToolStreams& io);
