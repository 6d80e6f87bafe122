// A real library reads a template as far as the template's own header says, never knowing the
// size of the caller's buffer. The stand-in, when asked, measures how many bytes lie behind each
// template pointer it is handed, so that tests can see a caller hand over too short a buffer.
#pragma once

void SetMeasureTemplateRoom(bool on);
// Notes the room behind a template pointer, while measuring.
void NoteTemplateRoom(const void* fingerprintTemplate);
// The smallest room noted since the last reset; -1 when none was noted.
long SmallestTemplateRoom();
void ResetTemplateRoom();
