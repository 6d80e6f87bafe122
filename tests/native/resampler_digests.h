// Cases whose resampled bytes every build must reproduce: the native builds check them against the
// reference, the Windows builds (64-bit and the 32-bit x87 one) against the same digests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fingerprint/Resampler.h"

struct DigestCase {
  int sourceWidth;
  int sourceHeight;
  int targetWidth;
  int targetHeight;
  int value;  // every source byte, or -1 for noise drawn from seed
  std::uint32_t seed;
  std::uint64_t digest;
};

// Rows taken from a run of the reference; a failing row prints the digest it got. Noise checks the
// order of the terms; the uniform rows end on sums so near a float or integer boundary that an
// unrounded step, a fused multiply-add or x87 extended precision changes a byte.
const DigestCase kDigestCases[] = {
    {150, 150, 150, 150, -1, 1, 0xb482e81915eebb18ull},
    {300, 300, 150, 150, -1, 2, 0x2eb21e0baff10fb0ull},
    {75, 75, 150, 150, -1, 3, 0x533396be64b222b1ull},
    {100, 100, 150, 150, -1, 4, 0x7bf28fec8e34ee11ull},
    {7, 7, 3, 3, -1, 5, 0xd32502585edccc62ull},
    {150, 100, 150, 150, -1, 6, 0x58fdea206937c0a0ull},
    {200, 150, 150, 150, -1, 7, 0xc7bca9b1164cb99eull},
    {1, 1, 150, 150, -1, 8, 0xe0aa070c72bf7935ull},
    {512, 512, 150, 150, -1, 9, 0x617255e82a7cf384ull},
    {640, 480, 150, 150, -1, 10, 0x726504e6ef74d8bdull},
    {256, 360, 150, 150, -1, 11, 0xb57ee642f15d3a02ull},
    {333, 211, 150, 150, -1, 12, 0x7ae25bceabce16c6ull},
    {97, 61, 150, 150, -1, 13, 0x96db5abdb231a303ull},
    {149, 150, 150, 151, -1, 14, 0x6cd8ec9aa5cf4eb8ull},
    {9999, 2, 37, 1, -1, 15, 0xbd05ca50e4c5da62ull},
    {3, 9999, 3, 1234, -1, 16, 0xdf052594407a3b65ull},
    {13, 11, 400, 397, -1, 17, 0x1f780903b15e472ull},
    {7, 7, 3, 3, 255, 0, 0xa80ab50077ea0e4cull},
    {300, 200, 150, 150, 255, 0, 0x9f65b17734f002c9ull},
    {61, 53, 150, 150, 255, 0, 0x9621308f28d51b93ull},
    {5, 1, 1, 1, 29, 0, 0x8646ca18cdf577dbull},
    {14, 36, 37, 49, 147, 0, 0xdba0fff72d0e1c0full},
    {34, 10, 12, 2, 34, 0, 0xf3647e1d0c61157dull},
    {17, 15, 3, 13, 136, 0, 0xed97ecb20c0160f7ull},
    {24, 31, 53, 44, 217, 0, 0xfca81cd711eb5175ull},
};

// Deterministic bytes for a picture, fill bytes included.
inline std::vector<std::uint8_t> DigestPicture(const DigestCase& c) {
  std::vector<std::uint8_t> pixels(PixelStride(c.sourceWidth) * static_cast<std::size_t>(c.sourceHeight),
                                   static_cast<std::uint8_t>(c.value));
  std::uint32_t state = c.seed;
  for (std::size_t i = 0; c.value < 0 && i < pixels.size(); ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    pixels[i] = static_cast<std::uint8_t>(state >> 24);
  }
  return pixels;
}

// FNV-1a over the pixel bytes only: the fill bytes of a target are never written.
inline std::uint64_t PixelDigest(const std::uint8_t* pixels, int width, int height) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * PixelStride(width);
    for (int i = 0; i < 3 * width; ++i) hash = (hash ^ row[i]) * 0x100000001b3ull;
  }
  return hash;
}

// Runs the case through the resampler its sizes choose; the target comes back, or empty.
inline std::vector<std::uint8_t> ResampleDigestCase(const DigestCase& c) {
  const std::vector<std::uint8_t> source = DigestPicture(c);
  std::vector<std::uint8_t> target(PixelStride(c.targetWidth) * static_cast<std::size_t>(c.targetHeight));
  const ScaleRoute route = ChooseScaleRoute(c.sourceWidth, c.sourceHeight, c.targetWidth, c.targetHeight);
  const bool done = route == ScaleRoute::Grow
      ? GrowPixels(source.data(), c.sourceWidth, c.sourceHeight, target.data(), c.targetWidth, c.targetHeight)
      : ShrinkPixels(source.data(), c.sourceWidth, c.sourceHeight, target.data(), c.targetWidth, c.targetHeight);
  if (!done) target.clear();
  return target;
}
