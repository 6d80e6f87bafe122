// The least work that any resampler giving the same bytes must do for a shrink, timed on its own:
// a lower bound for the resampler's time on this processor, to read its figures against.
//
// Every source byte becomes a double once, and every term of every target sum costs one multiply
// (weight times value), one add and one rounding of the sum to single precision; the order of the
// terms of one sum is fixed, so each rounding stands. Left out, in the floor's favour: the weight
// products, the walk from source pixels to target sums, loading and storing the sums, the
// conversion of the sums to bytes, and any wait of a sum for its previous term (the floor works
// twelve independent sums at a time).
#pragma once

#include <cstdint>
#include <vector>

// The terms of a shrink, per source row and all channels: a pixel brings one term to its target
// pixel, one more when it spills along x, and all of that twice when its row spills along y.
std::vector<long> TermsPerSourceRow(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight);

// The floor on two double lanes of SSE2, as the vector kernels work, and on scalar SSE2 code,
// rounding through a single-precision store as the plain path does. Both return a value made
// from the sums, so that the work cannot be left out. TermsFloor is VectorFloor without even the
// conversion of the bytes: the terms alone.
double VectorFloor(const std::uint8_t* source, int width, int height, const std::vector<long>& rowTerms,
                   double* values);
double TermsFloor(const std::uint8_t* source, int width, int height, const std::vector<long>& rowTerms,
                  double* values);
double ScalarFloor(const std::uint8_t* source, int width, int height, const std::vector<long>& rowTerms,
                   double* values);
