// What the module does when the process loads and unloads it.
#include "gina/ModuleLifetime.h"

#include "gina/GinaState.h"

void AttachModule(HINSTANCE instance) {
  GinaState.moduleInstance = instance;
}

void DetachModule() {}
