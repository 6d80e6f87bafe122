// What the capture session writes to the audit trail: the library or its capture layer not
// starting, and readers coming and going.
#pragma once

#include <windows.h>

#include "resources/EventLog.h"

// Reports why capture did not start (EVENT_LIBRARY_NOT_LOADED, EVENT_LIBRARY_START_FAILED or
// EVENT_CAPTURE_START_FAILED) with the code, and answers the code.
int ReportCaptureStartFailure(DWORD event, int code);

// From the library's threads, queued only. A reader is reported when it is first seen and when it comes back after being unplugged; the
// library also announces the readers already plugged in at every start of capture, and those
// are not news.
void ReportReaderPlugged(const char* sensorId);
void ReportReaderUnplugged(const char* sensorId);
