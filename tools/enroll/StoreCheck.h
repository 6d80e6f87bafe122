// check: what the module will make of this workstation's store and installation.
#pragma once

#include "tools/enroll/EnrollTool.h"

// Reports every account (its mode, whether each template and the password can be read here)
// and whether GinaDLL names the module by a full path with the fingerprint library beside it.
// Each problem is a line starting with "PROBLEM:". Returns kExitOk when there is none,
// kExitProblems otherwise.
int CheckInstallation(int argc, const ToolStreams& io);
