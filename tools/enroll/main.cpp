// voduvo-enroll: the administrator's tool that writes the account store.
#include <windows.h>

#include <cstdio>

#include "tools/enroll/EnrollTool.h"

int main(int argc, char* argv[]) {
  // Unbuffered, so no copy of the password stays behind in a stdio buffer.
  setvbuf(stdin, nullptr, _IONBF, 0);
  DWORD consoleMode = 0;
  bool interactive = GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &consoleMode) != 0;
  ToolStreams io{stdin, stdout, stderr, interactive};
  return RunEnrollTool(argc, argv, io);
}
