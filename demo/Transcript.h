// The demo's transcript: headings, what the people do, what the screen shows and what the
// stand-ins received, one line at a time from any thread. Texts read from windows are in the
// ANSI code page; they are printed in UTF-8 for the terminal.
#pragma once

#include <string>

// A new part of the day.
void PrintHeading(const std::string& title);
// A line of narration or of a program's own output, as it is.
void PrintLine(const std::string& line);
// What someone at the workstation does.
void PrintAction(const std::string& who, const std::string& what);
// What is on screen or what a stand-in saw, indented under the action that led to it.
void PrintSeen(const std::string& what);

// A text read from a window, in double quotes and in UTF-8.
std::string Quoted(const std::string& ansiText);
std::string Milliseconds(double ms);
