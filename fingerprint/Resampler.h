// Area-averaging resampling of 24-bit bottom-up pixel buffers. Needs no Windows, so it also
// builds and is tested natively.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fingerprint/AxisWeights.h"

// Which resampler a combination of sizes takes, or Refused.
enum class ScaleRoute { Refused, Shrink, Grow };

// Sources must stay below this on each axis: beyond it the smallest spill falls under the
// weight threshold and the tables no longer keep the two sides in step.
constexpr int kSourceSideLimit = 10000;
// Targets are 16-bit sizes.
constexpr int kTargetSideLimit = 65535;

// Bytes of one buffer row: three per pixel, raised to a multiple of four.
std::size_t PixelStride(int width);

// Refuses sources of 0 or kSourceSideLimit pixels or more on an axis, targets of 0, and any
// combination where one axis grows while the other shrinks. Grow when an axis grows.
ScaleRoute ChooseScaleRoute(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight);

/***********************************************************************
 * ShrinkPixels / GrowPixels
 *
 * Fill the target buffer from the source buffer, both in the 24-bit bottom-up layout, by area
 * averaging: every target value is the truncated single-precision sum of its source values times
 * the products of their x and y weights. ShrinkPixels needs a target no larger than the source
 * on both axes, GrowPixels one no smaller; sources below kSourceSideLimit. Fill bytes of the
 * target are never written. Each builds and releases its own tables and working memory. Return
 * false, with the target unspecified, when the sizes do not fit or memory cannot be had.
 *
 * On a processor with SSE2 the heavy rows run in vector kernels that give the same bytes.
 */
bool ShrinkPixels(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                  std::uint8_t* target, int targetWidth, int targetHeight);
bool GrowPixels(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                std::uint8_t* target, int targetWidth, int targetHeight);

// Blackens the one-pixel frame of a picture in the 24-bit bottom-up layout.
void PaintBlackFrame(std::uint8_t* pixels, int width, int height);

// Whether ShrinkPixels and GrowPixels take the SSE2 kernels: the processor has them and tests
// have not turned them off. Only tests turn them off, to hold both paths to the same bytes.
bool ResamplerTakesVectorPath();
void SetResamplerVectorPath(bool allowed);
