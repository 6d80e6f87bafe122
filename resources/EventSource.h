// Where the module's events go: the Application log, under a source of its own. The module
// reports under the name; the enrolment tool registers the name's key so that the Event Viewer
// finds the texts in the module's message table.
#pragma once

#include <windows.h>

constexpr char kEventSourceName[] = "VoDUVO";
// Under HKEY_LOCAL_MACHINE.
constexpr char kEventSourceKey[] =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\VoDUVO";
constexpr char kEventMessageFileValue[] = "EventMessageFile";  // REG_EXPAND_SZ: the module's path
constexpr char kTypesSupportedValue[] = "TypesSupported";      // REG_DWORD
// The kinds of event the module reports.
constexpr DWORD kEventTypesSupported =
    EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
