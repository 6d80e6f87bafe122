// A library loaded at run time by file name, with a load count, so that its owner decides when it
// is really released.
#pragma once

#include <windows.h>

class RuntimeLibrary {
 public:
  RuntimeLibrary();
  RuntimeLibrary(const RuntimeLibrary&) = delete;
  RuntimeLibrary& operator=(const RuntimeLibrary&) = delete;

  // Loads the library on the first call that brings the count to 1; every other call only
  // counts and answers false. The flags are reserved (callers pass 0).
  virtual bool Load(int flags);
  // Undoes one Load; the last one frees the library and forgets the file name.
  virtual void Unload();
  virtual ~RuntimeLibrary();

  // Keeps a private copy of the file name (null clears it). Refused while the library is loaded.
  bool SetFileName(const char* fileName);

 protected:
  HMODULE module_;
  char* fileName_;
  LONG referenceCount_;
  DWORD stamp_;  // GetTickCount at construction; tells this object's cached lookups apart

 private:
  void ReleaseFileName();
};
