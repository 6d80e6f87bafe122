// The one instance of the module-wide state; static storage starts it all zero.
#include "gina/GinaState.h"

ModuleState GinaState;
