// What Winlogon needs of the module's file to load it at boot, before the network is up and
// before anybody has logged on: a local fixed drive, a DLL for this processor, and the GINA
// entry points. The file is read as data; none of its code runs.
#pragma once

#include <string>

// Why Winlogon could not load the module that fullPath ("X:\folder\file" or "\\server\share\file")
// names, worded to follow the path ("is not there", "is on a network path, ..."); an empty text
// when nothing is found against it.
std::string ModuleLoadProblem(const std::string& fullPath);
