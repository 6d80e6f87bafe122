// voduvo-enroll: the administrator's tool that writes the account store.
#include <windows.h>

#include <cstdio>

#include "tools/enroll/EnrollTool.h"

int main(int argc, char* argv[]) {
  // Unbuffered, so no copy of the password stays behind in a stdio buffer.
  setvbuf(stdin, nullptr, _IONBF, 0);
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD consoleMode = 0;
  HANDLE console = GetConsoleMode(input, &consoleMode) ? input : nullptr;
  ToolStreams io{stdin, stdout, stderr, console};
  return RunEnrollTool(argc, argv, io);
}
