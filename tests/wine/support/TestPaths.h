// Where the built files sit next to the test executable.
#pragma once

#include <string>

// The folder of the running test executable, without a trailing backslash.
std::string BinDir();
// BinDir() joined with a relative path.
std::string BinPath(const std::string& relative);
