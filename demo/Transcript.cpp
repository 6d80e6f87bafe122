#include "demo/Transcript.h"

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <vector>

namespace {

std::mutex printing;

void Write(const std::string& line) {
  std::lock_guard<std::mutex> guard(printing);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string Utf8(const std::string& ansi) {
  if (ansi.empty()) return ansi;
  int wide = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
  if (wide <= 0) return ansi;
  std::vector<wchar_t> text(static_cast<size_t>(wide));
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, text.data(), wide);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return ansi;
  std::vector<char> utf8(static_cast<size_t>(bytes));
  WideCharToMultiByte(CP_UTF8, 0, text.data(), -1, utf8.data(), bytes, nullptr, nullptr);
  return utf8.data();
}

}  // namespace

void PrintHeading(const std::string& title) { Write("\n== " + title); }

void PrintLine(const std::string& line) { Write(line); }

void PrintAction(const std::string& who, const std::string& what) {
  Write("  * " + who + " " + what);
}

void PrintSeen(const std::string& what) { Write("      " + what); }

std::string Quoted(const std::string& ansiText) { return "\"" + Utf8(ansiText) + "\""; }

std::string Milliseconds(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f ms", ms);
  return text;
}
