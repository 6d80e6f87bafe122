#include "resources/ModuleResources.h"

HINSTANCE moduleInstance;

HBITMAP LoadModuleBitmap(int resource) {
  return LoadBitmapA(moduleInstance, MAKEINTRESOURCEA(resource));
}
