// The enrolment tool's commands: add or replace an account, change its login mode, list
// accounts, remove an account. main() runs them on the process's standard streams; tests run
// them on files of their own.
#pragma once

#include <windows.h>

#include <cstdio>

struct ToolStreams {
  FILE* in;        // the password, one line, when it is not typed at a console
  FILE* out;       // results
  FILE* err;       // problems and the password prompts
  HANDLE console;  // the console the password is typed at, or null when input is redirected
};

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitBadArguments = 1;
constexpr int kExitFailed = 2;

// Runs the command that argv[1..] names (argv[0] is the program). Never prints a password.
int RunEnrollTool(int argc, const char* const argv[], const ToolStreams& io);
