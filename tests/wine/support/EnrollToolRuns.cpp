#include "tests/wine/support/EnrollToolRuns.h"

#include <cstdio>

#include "accounts/AccountStore.h"
#include "tools/enroll/EnrollTool.h"

std::string TempName(const char* prefix) {
  char folder[MAX_PATH];
  char name[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  GetTempFileNameA(folder, prefix, 0, name);
  return name;
}

std::string FileContents(const std::string& path) {
  std::string contents;
  FILE* file = fopen(path.c_str(), "rb");
  char chunk[512];
  size_t got = 0;
  while (file && (got = fread(chunk, 1, sizeof chunk, file)) > 0) contents.append(chunk, got);
  if (file) fclose(file);
  return contents;
}

TempFile::TempFile(const std::string& contents) : path_(TempName("vde")) {
  FILE* file = fopen(path_.c_str(), "wb");
  fwrite(contents.data(), 1, contents.size(), file);
  fclose(file);
}

ToolRun RunTool(std::vector<std::string> args, const std::string& input, const std::string& toolFolder,
                HANDLE console) {
  TempFile in(input), out, err;
  FILE* inFile = console ? nullptr : fopen(in.Path().c_str(), "rb");
  FILE* outFile = fopen(out.Path().c_str(), "wb");
  FILE* errFile = fopen(err.Path().c_str(), "wb");
  args.insert(args.begin(), "voduvo-enroll");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  int exit = RunEnrollTool(static_cast<int>(argv.size()), argv.data(),
                           ToolStreams{inFile, outFile, errFile, console,
                                       toolFolder.empty() ? nullptr : toolFolder.c_str()});
  if (inFile) fclose(inFile);
  fclose(outFile);
  fclose(errFile);
  return ToolRun{exit, out.Contents(), err.Contents()};
}

std::string StoredTemplate(const char* user, int number) {
  TemplateBuffer* record = nullptr;
  std::string bytes = "(unreadable)";
  if (ReadTemplate(user, &record, number) == 0) {
    bytes.assign(reinterpret_cast<char*>(record->data), static_cast<size_t>(record->size));
  }
  ReleaseTemplate(record);
  return bytes;
}

std::string StoredPassword(const char* user) {
  char* password = nullptr;
  std::string text = "(unreadable)";
  if (ReadPassword(user, &password) == 0) text = password;
  ReleasePassword(password);
  return text;
}
