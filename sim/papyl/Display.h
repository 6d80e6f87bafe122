// Pictures of a finger image with its template's features marked, in the colours the caller
// chose, and the record of every bitmap handed out.
#pragma once

#include <windows.h>

#include "sim/papyl/Templates.h"

constexpr int kDisplayColourCount = 6;

void InitialiseDisplay();  // at process attach
// Default colours, bitmaps made, no records, no remembered match.
void ResetDisplay();
void SetDisplayColours(const DWORD colours[kDisplayColourCount]);
void SetDisplayMakesBitmap(bool makes);

// Keeps the feature pairs of a comparison on context 0, for the next picture of either template.
void RememberMatch(const unsigned char* candidate, const unsigned char* reference,
                   const Comparison& comparison);

// _PxBiometricDisplay@32: draws `pixels` (8-bit grey) with the features of `fingerprintTemplate`
// (null or unreadable: the image alone); on match context 0, the features the remembered match
// paired stand out. The bitmap, made on `dc`, goes to *bitmap and belongs to the caller.
int DrawBiometricPicture(const unsigned char* fingerprintTemplate, const unsigned char* pixels,
                         int width, int height, HDC dc, HBITMAP* bitmap, int matchContext);

int BitmapsMade();
int BitmapsAlive();  // handed out and not yet deleted
