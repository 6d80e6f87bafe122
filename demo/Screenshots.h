// Screenshots of what the person sees, taken by the script that owns the virtual display: the
// demo asks for one by creating NAME.request in the folder that VODUVO_DEMO_SHOTS names, listing
// the screen rectangle of each window the person sees, and goes on once the script has saved
// NAME.png (those windows whole, on the desktop's colour) there and deleted the request.
#pragma once

#include <string>

// Whether a folder for screenshots was given (without one, no display is being recorded).
bool ScreenshotsWanted();
// Lets the screen finish painting, asks for the picture and waits for it (bounded).
void TakeScreenshot(const std::string& name);
