// Enrolment by finger: two templates of one finger, taken from a reader through the fingerprint
// library papyl.dll that ships beside the tool, bound by its bare name as the module binds it.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "accounts/AccountWriting.h"

struct FingerCaptureSettings {
  std::string libraryFolder;  // holds papyl.dll; the current folder while the library is in use
  DWORD readerTimeoutMs;      // how long to wait for a reader to be plugged in
  DWORD fingerTimeoutMs;      // how long to wait for each placement of the finger
};

// Waits for a reader, then takes placements of one finger until two in a row match: the first
// becomes template1, the second template2. A placement whose image yields no template is asked
// for again; a second placement that does not match the first drops both, and the next one
// starts a new pair. Prompts go to prompt. Returns the problem (no library, no reader or no
// finger in time), or an empty text when both templates are taken.
std::string CaptureFingerTemplates(const FingerCaptureSettings& settings, FILE* prompt,
                                   Bytes& template1, Bytes& template2);
