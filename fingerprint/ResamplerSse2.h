// The resampler's SSE2 kernels: a source row, times a row weight, added into a row of sums along
// the x weights, two target columns at a time. Built only for x86; the 32-bit build compiles them
// with SSE2, so call them only when the processor has it (see Resampler.cpp).
#pragma once

#include <cstdint>

#include "fingerprint/AxisWeights.h"

// A row of sums: three planes (blue, green, red) of single-precision sums, one per target column,
// the planes `plane` floats apart. plane is the target width raised to an even count: the kernels
// work the columns in pairs, and an odd width's last pair has a spare column that stays 0.

// The x weights of one call laid out for the kernels, and room for one converted source row.
struct RowPlanSse2;

/***********************************************************************
 * PlanRowsSse2
 *
 * Lays out the x table of a call: for shrinking, xWeights has sourceWidth entries; for growing,
 * targetWidth. Returns a plan to release with ReleaseRowPlanSse2, or null when memory cannot be
 * had.
 */
RowPlanSse2* PlanRowsSse2(const AxisWeight* xWeights, AxisMode mode, int sourceWidth, int targetWidth);
void ReleaseRowPlanSse2(RowPlanSse2* plan);

// Converts count bytes to doubles.
void BytesToDoublesSse2(const std::uint8_t* bytes, int count, double* values);

// Converts the 3 x sourceWidth bytes of a source row for the AddRowSse2 calls that follow.
void LoadRowSse2(RowPlanSse2* plan, const std::uint8_t* row);

/***********************************************************************
 * AddRowSse2
 *
 * Adds the loaded row into sums: every term of every target column, in ascending source order,
 * as sum = single(sum + (x weight * rowWeight) * value), the product and sum in double. When next
 * is not null, adds it into next in the same way with nextWeight.
 */
void AddRowSse2(const RowPlanSse2* plan, float rowWeight, float* sums, float nextWeight, float* next,
                int plane);
