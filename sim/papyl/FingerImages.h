// Synthetic fingers: finger number N (1 or more) is a fixed ridge pattern with its own ridge
// endings and forks; each placement of it shows that pattern a few pixels off and with fresh noise.
// Plain C++ without Windows, so the pictures can be studied on any machine.
#pragma once

#include <vector>

constexpr int kFingerImageWidth = 256;
constexpr int kFingerImageHeight = 360;
constexpr int kFingerImageResolution = 500;  // dots per inch
constexpr int kFingerImageBytes = kFingerImageWidth * kFingerImageHeight;

// The noise-free pattern of one finger, kept so that further placements of the same finger are
// quick to draw. Not shared between threads: each drawing thread owns its own.
struct FingerCanvas {
  int finger = 0;             // whose pattern it holds; 0 for none yet
  std::vector<float> cover;   // 1 on the finger, 0 beside it, soft at the edge
  std::vector<float> ridges;  // cover times the ridge wave, -1 (valley) to 1 (ridge)
};

// Draws placement `placement` (0 or more) of finger `finger` (1 or more) into `pixels`
// (kFingerImageBytes, 8-bit grey, rows top to bottom, dark ridges on a light ground).
// Returns false, drawing nothing, for a finger below 1 or a negative placement.
bool DrawFingerImage(FingerCanvas& canvas, int finger, int placement, unsigned char* pixels);
