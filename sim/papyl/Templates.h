// Fingerprint templates: the ridge endings and forks found in a grey image, and their comparison.
// A template travels as a bare pointer, so it carries its own mark and length:
//   bytes 0-3 "PXT1", then little-endian 16-bit words: total length, width, height, resolution,
//   feature count, checksum of the features; then 6 bytes per feature: x, y (16-bit each),
//   ridge angle in degrees (0-179), kind (1 ending, 2 fork).
// Plain C++ without Windows, so extraction and matching can be measured on any machine.
#pragma once

constexpr int kTemplateHeaderBytes = 16;
constexpr int kFeatureBytes = 6;
constexpr int kMaxFeatures = 200;
constexpr int kMaxTemplateBytes = kTemplateHeaderBytes + kMaxFeatures * kFeatureBytes;

// Extraction results.
constexpr int kExtracted = 0;
constexpr int kBadImageArgument = -1;  // null pointers, or an image too small or too large
constexpr int kTemplateTooSmall = -2;  // the buffer cannot hold the template; *size says how much
constexpr int kImageUnusable = -3;     // no finger, or too few features on it

struct Feature {
  int x, y;
  int angle;  // ridge direction through the feature, degrees 0-179
  int kind;   // 1 ending, 2 fork
};

struct FeatureSet {
  int count;
  Feature features[kMaxFeatures];
};

// Finds the features of an 8-bit grey image (rows of `width` bytes) and writes their template into
// `buffer`, whose capacity *size gives; *size becomes the bytes written (0 on failure, or the
// bytes needed when the buffer is too small). Returns kExtracted or a negative result above.
int ExtractTemplate(const unsigned char* pixels, int width, int height, int resolution,
                    unsigned char* buffer, int* size);

// Reads a template back; false when the bytes are not a whole, intact template.
bool ReadTemplate(const unsigned char* data, FeatureSet& features);

// Bytes a valid template occupies (from its own length word); 0 when it is not one.
int TemplateLength(const unsigned char* data);

struct FeaturePair {
  unsigned char candidate, reference;  // feature indices in each set
};

struct Comparison {
  bool matched;
  int score;  // 0-100, higher for a closer match; 100 for a template against itself
  int pairCount;
  FeaturePair pairs[kMaxFeatures];
};

// Lines the two sets up (fingers move between placements but do not turn) and counts the
// features that coincide.
Comparison CompareFeatures(const FeatureSet& candidate, const FeatureSet& reference);
