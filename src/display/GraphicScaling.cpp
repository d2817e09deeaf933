#include "display/GraphicScaling.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kessaro {

namespace {

double BoxFilter(double t) {
  return (t > -0.5 && t <= 0.5) ? 1.0 : 0.0;
}

double TriangleFilter(double t) {
  t = std::fabs(t);
  return t < 1.0 ? 1.0 - t : 0.0;
}

double HermiteFilter(double t) {
  t = std::fabs(t);
  return t < 1.0 ? (2.0 * t - 3.0) * t * t + 1.0 : 0.0;
}

double BellFilter(double t) {
  t = std::fabs(t);
  if (t < 0.5) return 0.75 - t * t;
  if (t < 1.5) {
    t -= 1.5;
    return 0.5 * t * t;
  }
  return 0.0;
}

double BSplineFilter(double t) {
  t = std::fabs(t);
  if (t < 1.0) {
    const double tt = t * t;
    return 0.5 * tt * t - tt + 2.0 / 3.0;
  }
  if (t < 2.0) {
    t = 2.0 - t;
    return t * t * t / 6.0;
  }
  return 0.0;
}

double Sinc(double x) {
  x *= std::numbers::pi;
  return x != 0.0 ? std::sin(x) / x : 1.0;
}

double Lanczos3Filter(double t) {
  t = std::fabs(t);
  return t < 3.0 ? Sinc(t) * Sinc(t / 3.0) : 0.0;
}

double MitchellFilter(double t) {
  constexpr double B = 1.0 / 3.0;
  constexpr double C = 1.0 / 3.0;
  t = std::fabs(t);
  const double tt = t * t;
  if (t < 1.0)
    return ((12.0 - 9.0 * B - 6.0 * C) * (t * tt) + (-18.0 + 12.0 * B + 6.0 * C) * tt +
            (6.0 - 2.0 * B)) /
           6.0;
  if (t < 2.0)
    return ((-1.0 * B - 6.0 * C) * (t * tt) + (6.0 * B + 30.0 * C) * tt +
            (-12.0 * B - 48.0 * C) * t + (8.0 * B + 24.0 * C)) /
           6.0;
  return 0.0;
}

constexpr TFilter kFilters[kFilterCount] = {
    {BoxFilter, 0.5},     {TriangleFilter, 1.0}, {HermiteFilter, 1.0},  {BellFilter, 1.5},
    {BSplineFilter, 2.0}, {Lanczos3Filter, 3.0}, {MitchellFilter, 2.0},
};

int Reflect(int j, int n) {
  // A wide support on a tiny axis can reach more than one picture width outside.
  while (j < 0 || j >= n) {
    if (j < 0) j = -j;
    if (j >= n) j = 2 * n - 1 - j;
    if (n == 1) return 0;
  }
  return j;
}

std::uint8_t Channel(long long sum, long long weights) {
  const long long v = weights != 0 ? sum / weights : sum / 256;
  return static_cast<std::uint8_t>(std::clamp<long long>(v, 0, 255));
}

}  // namespace

const TFilter& Filter(int index) {
  return kFilters[std::clamp(index, 0, kFilterCount - 1)];
}

std::vector<std::vector<TContributor>> Contributors(int oldSize, int newSize, int filter) {
  std::vector<std::vector<TContributor>> result(static_cast<std::size_t>(std::max(newSize, 0)));
  if (oldSize <= 0 || newSize <= 0) return result;
  const TFilter& f = Filter(filter);
  double scale = oldSize == 1 ? static_cast<double>(newSize) / oldSize
                              : static_cast<double>(newSize - 1) / (oldSize - 1);
  // A single output pixel would give a scale of 0; take the plain ratio instead.
  if (scale <= 0.0) scale = static_cast<double>(newSize) / oldSize;
  for (int i = 0; i < newSize; ++i) {
    const double centre = i / scale;
    auto& list = result[static_cast<std::size_t>(i)];
    if (scale < 1.0) {
      const double width = f.Support / scale;
      const int left = static_cast<int>(std::floor(centre - width));
      const int right = static_cast<int>(std::ceil(centre + width));
      for (int j = left; j <= right; ++j) {
        const int w =
            static_cast<int>(std::lround(f.Function((centre - j) * scale) * scale * 256.0));
        if (w != 0) list.push_back({Reflect(j, oldSize), w});
      }
    } else {
      const int left = static_cast<int>(std::floor(centre - f.Support));
      const int right = static_cast<int>(std::ceil(centre + f.Support));
      for (int j = left; j <= right; ++j) {
        const int w = static_cast<int>(std::lround(f.Function(centre - j) * 256.0));
        if (w != 0) list.push_back({Reflect(j, oldSize), w});
      }
    }
  }
  return result;
}

TPixels Rescale(const TPixels& source, int width, int height, int filter) {
  if (width <= 0 || height <= 0 || source.Width <= 0 || source.Height <= 0) return TPixels();
  const auto across = Contributors(source.Width, width, filter);
  const auto down = Contributors(source.Height, height, filter);

  TPixels work(width, source.Height);
  for (int y = 0; y < source.Height; ++y) {
    for (int x = 0; x < width; ++x) {
      long long sum[3] = {0, 0, 0};
      long long weights = 0;
      for (const TContributor& c : across[static_cast<std::size_t>(x)]) {
        const std::uint8_t* p = source.At(c.Pixel, y);
        for (int k = 0; k < 3; ++k) sum[k] += static_cast<long long>(c.Weight) * p[k];
        weights += c.Weight;
      }
      std::uint8_t* out = work.At(x, y);
      for (int k = 0; k < 3; ++k) out[k] = Channel(sum[k], weights);
    }
  }

  TPixels result(width, height);
  for (int x = 0; x < width; ++x) {
    for (int y = 0; y < height; ++y) {
      long long sum[3] = {0, 0, 0};
      long long weights = 0;
      for (const TContributor& c : down[static_cast<std::size_t>(y)]) {
        const std::uint8_t* p = work.At(x, c.Pixel);
        for (int k = 0; k < 3; ++k) sum[k] += static_cast<long long>(c.Weight) * p[k];
        weights += c.Weight;
      }
      std::uint8_t* out = result.At(x, y);
      for (int k = 0; k < 3; ++k) out[k] = Channel(sum[k], weights);
    }
  }
  return result;
}

TPixels DitherPattern(int size, bool oddBlack) {
  TPixels p(size, size, 255);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      if (((x + y) % 2 == 1) == oddBlack) {
        std::uint8_t* q = p.At(x, y);
        q[0] = q[1] = q[2] = 0;
      }
  return p;
}

}  // namespace kessaro
