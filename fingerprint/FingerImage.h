// A finger placed on a reader: the image is drawn in the notice, searched among the enrolled
// accounts, and a match is recorded and raises Ctrl-Alt-Del through the notice's link.
#pragma once

#include <windows.h>

// The library's image callback, on one of its threads.
void WINAPI OnFingerImage(const char* sensorId, int width, int height,
                          const unsigned char* pixels, int resolution);
