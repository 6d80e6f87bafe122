// Weight tables of area-averaging resampling: for one axis, how much of each pixel of one side
// falls on the pixels of the other side. Both resamplers and their vector kernels read them.
#pragma once

// One entry of an axis's weight table: the weight with which the entry's pixel pairs with the
// current pixel of the other side (`share`), and either the weight with which it also pairs with
// the following one (`spill` > 0), 0 when the current pixel continues, or -1 when it ends here.
struct AxisWeight {
  float share;
  float spill;
};

enum class AxisMode { Shrink, Grow };

// A weight counts when it is above this; smaller spills mean "no spill".
constexpr float kWeightThreshold = 0.0001f;

// These two are static so that each file has its own copy: the vector kernels are compiled for
// other instructions, and a copy shared between files could end up running in the plain path on
// a processor without them.

// The entry's pixel also pairs with the following pixel of the other side.
static inline bool SpillsOver(const AxisWeight& entry) { return entry.spill > kWeightThreshold; }

// The current pixel of the other side is complete after this entry (a spill, or the -1 mark).
static inline bool EndsOtherPixel(const AxisWeight& entry) {
  return entry.spill > kWeightThreshold || -entry.spill > kWeightThreshold;
}

/***********************************************************************
 * BuildAxisWeights
 *
 * The weight table of one axis. count is the pixel count of the side with more pixels, step that
 * of the other side (1 <= step <= count). In shrink mode the entries are source pixels and the
 * weights are divided by count; in grow mode they are target pixels, divided by step. Returns
 * count entries from std::calloc (release with std::free), or null when the sizes are out of
 * range or memory cannot be had.
 */
AxisWeight* BuildAxisWeights(int count, int step, AxisMode mode);
