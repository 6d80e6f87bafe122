// A slow, literal transcription of the rescaling rules: one pixel, one branch and one rounding at
// a time. Tests and the fuzz target hold the resampler to it byte for byte.
#pragma once

#include <cstdint>
#include <vector>

#include "fingerprint/Resampler.h"

std::vector<AxisWeight> ReferenceWeights(int count, int step, bool shrink);

// Both fill the pixel bytes of a target in the 24-bit bottom-up layout; fill bytes are left.
void ReferenceShrink(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                     std::uint8_t* target, int targetWidth, int targetHeight);
void ReferenceGrow(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                   std::uint8_t* target, int targetWidth, int targetHeight);
