// How the tool's commands report: bad arguments with a pointer to the help, failed operations
// with the system's reason.
#pragma once

#include <windows.h>

#include <string>

#include "tools/enroll/EnrollTool.h"

// Prints the problem and the hint to --help on standard error; returns kExitBadArguments.
int BadArguments(const ToolStreams& io, const std::string& problem);

// The system's text for status, without the line end it comes with; empty for ERROR_SUCCESS.
std::string SystemReason(LONG status);

// Prints a failed operation with the system's reason for status (when not ERROR_SUCCESS) and,
// when given, the state it left things in; returns kExitFailed.
int Failed(const ToolStreams& io, const std::string& problem, LONG status = ERROR_SUCCESS,
           const char* outcome = nullptr);
