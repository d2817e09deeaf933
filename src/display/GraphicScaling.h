#pragma once
// Picture helpers of the board appearance: filtered rescaling of 24-bit pictures (the
// two-pass separable method of Graphics Gems III) and the dither patterns of shading.
#include <vector>

#include "display/Canvas.h"

namespace kessaro {

enum TFilterIndex : int {
  fiBox = 0,
  fiTriangle = 1,
  fiHermite = 2,
  fiBell = 3,
  fiBSpline = 4,
  fiLanczos3 = 5,
  fiMitchell = 6,
};
constexpr int kFilterCount = 7;

struct TFilter {
  double (*Function)(double);
  double Support;
};

// The filter table, indexed 0..6.
const TFilter& Filter(int index);

// One source pixel and its weight (x 256) in an output pixel.
struct TContributor {
  int Pixel;
  int Weight;
};

// Contributors of every output pixel on one axis of `oldSize` to `newSize` pixels.
std::vector<std::vector<TContributor>> Contributors(int oldSize, int newSize, int filter);

// `source` rescaled to width x height with the filter of the table. Empty sizes give an empty
// picture.
TPixels Rescale(const TPixels& source, int width, int height, int filter);

// An s x s dither: black where (x + y) is even (pattern A) or odd (pattern B), white elsewhere.
TPixels DitherPattern(int size, bool oddBlack);

}  // namespace kessaro
