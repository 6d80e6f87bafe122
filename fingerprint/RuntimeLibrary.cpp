// A library loaded at run time by file name, with a load count.
#include "fingerprint/RuntimeLibrary.h"

#include <cstring>
#include <new>

RuntimeLibrary::RuntimeLibrary()
    : module_(nullptr), fileName_(nullptr), referenceCount_(0), stamp_(GetTickCount()) {}

RuntimeLibrary::~RuntimeLibrary() {
  referenceCount_ = 0;
  if (module_) FreeLibrary(module_);
  module_ = nullptr;
  ReleaseFileName();
}

bool RuntimeLibrary::SetFileName(const char* fileName) {
  if (module_) return false;
  ReleaseFileName();
  if (!fileName) return true;
  size_t size = std::strlen(fileName) + 1;
  fileName_ = new (std::nothrow) char[size];
  if (fileName_) std::memcpy(fileName_, fileName, size);
  return true;
}

bool RuntimeLibrary::Load(int /*flags*/) {
  ++referenceCount_;
  if (referenceCount_ != 1 || !fileName_) return false;
  module_ = LoadLibraryA(fileName_);
  return module_ != nullptr;
}

void RuntimeLibrary::Unload() {
  if (referenceCount_ == 0) return;
  --referenceCount_;
  if (referenceCount_ >= 1) return;
  if (module_) FreeLibrary(module_);
  module_ = nullptr;
  ReleaseFileName();
}

void RuntimeLibrary::ReleaseFileName() {
  delete[] fileName_;
  fileName_ = nullptr;
}
