// The GDI side of picture rescaling: reads any bitmap as 24-bit pixels, resamples them and hands
// back a new bitmap with a black frame.
#pragma once

#include <windows.h>

/***********************************************************************
 * MakeDibHeader
 *
 * A header for a 24-bit bottom-up picture of width x height: biSize 40, biPlanes 1,
 * biBitCount 24, biSizeImage the row stride times the height, everything else zero. From the
 * process heap; release it with HeapFree(GetProcessHeap(), 0, header). Null when memory cannot
 * be had or the picture's byte count does not fit 32 bits.
 */
BITMAPINFO* MakeDibHeader(WORD width, WORD height);

/***********************************************************************
 * ScaleBitmap
 *
 * A new bitmap of width x height, compatible with the screen, holding source area-averaged to
 * that size with a one-pixel black frame. The source is only read. Returns null when one axis
 * would grow while the other shrinks, when either target side is 0, when the source is not a
 * bitmap or has a side of 10000 pixels or more, or when memory or GDI fails; nothing is left
 * allocated then. The caller owns the result (DeleteObject).
 */
HBITMAP ScaleBitmap(HBITMAP source, WORD width, WORD height);
