#include "tests/wine/support/TestPaths.h"

#include <windows.h>

std::string BinDir() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of('\\'));
}

std::string BinPath(const std::string& relative) { return BinDir() + "\\" + relative; }
