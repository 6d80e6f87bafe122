#include "tests/wine/support/StandInGina.h"

#include <gtest/gtest.h>

#include "tests/wine/support/TestPaths.h"

StandInGina::StandInGina(const char* variant, DWORD answeredVersion) {
  UnloadAll();
  std::string path = BinPath(std::string("msgina\\") + variant + "\\MSGINA.DLL");
  module_ = LoadLibraryA(path.c_str());
  if (!module_ || !control_.Bind(module_)) {
    ADD_FAILURE() << "cannot load the stand-in system GINA " << path;
    return;
  }
  control_.Reset(answeredVersion);
}

StandInGina::~StandInGina() {
  if (module_) control_.SetObserver(nullptr, nullptr);
  UnloadAll();
}

void StandInGina::UnloadAll() {
  // The module under test never frees the system GINA; its extra references go here too.
  for (int guard = 0; guard < 1000; ++guard) {
    HMODULE loaded = GetModuleHandleA("MSGINA.DLL");
    if (!loaded) return;
    FreeLibrary(loaded);
  }
}

std::vector<RecordedCall> StandInGina::Calls() const {
  std::vector<RecordedCall> calls;
  if (!module_) return calls;
  for (int i = 0; i < control_.CallCount(); ++i) {
    const SimGinaCall* call = control_.CallAt(i);
    calls.push_back({call->entryPoint, std::vector<UINT_PTR>(call->args, call->args + call->argCount)});
  }
  return calls;
}

std::vector<RecordedCall> StandInGina::CallsTo(const char* entryPoint) const {
  std::vector<RecordedCall> matching;
  for (RecordedCall& call : Calls())
    if (call.entryPoint == entryPoint) matching.push_back(call);
  return matching;
}
