// The notice's picture for the reader's state.
#pragma once

#include <windows.h>

// The waiting (true) or ready (false) picture of the library's edition, freshly loaded from the
// module's resources; null without a library, for an edition other than 1 or 2, or when it cannot
// be loaded. The caller owns it.
HBITMAP LoadSensorPicture(bool waiting);
