// How the tool's commands report problems.
#include "tools/enroll/ToolMessages.h"

#include <cstring>

int BadArguments(const ToolStreams& io, const std::string& problem) {
  fprintf(io.err, "voduvo-enroll: %s\nTry 'voduvo-enroll --help'.\n", problem.c_str());
  return kExitBadArguments;
}

std::string SystemReason(LONG status) {
  char reason[256] = "";
  if (status != ERROR_SUCCESS) {
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(status), 0, reason, sizeof reason, nullptr);
  }
  std::string text = reason;
  while (!text.empty() && strchr("\r\n .", text.back())) text.pop_back();
  return text;
}

int Failed(const ToolStreams& io, const std::string& problem, LONG status, const char* outcome) {
  std::string reason = SystemReason(status);
  fprintf(io.err, "voduvo-enroll: %s%s%s\n", problem.c_str(), reason.empty() ? "" : ": ",
          reason.c_str());
  if (outcome) fprintf(io.err, "%s\n", outcome);
  return kExitFailed;
}
