// Installing the module as Winlogon's GINA and taking it out again.
#pragma once

#include "tools/enroll/EnrollTool.h"

// install [PATH]: sets GinaDLL to the module's full path (by default VoDUVO.dll in the tool's
// folder), keeping what GinaDLL was in the install record.
int InstallModule(int argc, const char* const argv[], const ToolStreams& io);

// uninstall: puts GinaDLL back as the install record keeps it, and removes the record.
int UninstallModule(int argc, const ToolStreams& io);
