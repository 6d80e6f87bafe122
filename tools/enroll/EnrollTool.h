// The enrolment tool's commands: add or replace an account (from template files or from a
// finger on a reader), change its login mode, list accounts, remove an account, check the store
// and the installation, install and uninstall the module as Winlogon's GINA. main() runs them on
// the process's standard streams; tests run them on files of their own.
#pragma once

#include <windows.h>

#include <cstdio>

struct ToolStreams {
  FILE* in;        // the password, one line, when it is not typed at a console
  FILE* out;       // results
  FILE* err;       // problems and the prompts (password, finger)
  HANDLE console;  // the console the password is typed at, or null when input is redirected
  // Where VoDUVO.dll and papyl.dll ship; null: the running program's own folder.
  const char* toolFolder = nullptr;
};

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitBadArguments = 1;
constexpr int kExitFailed = 2;
constexpr int kExitProblems = 3;  // check found problems

// Runs the command that argv[1..] names (argv[0] is the program). Never prints a password.
int RunEnrollTool(int argc, const char* const argv[], const ToolStreams& io);
