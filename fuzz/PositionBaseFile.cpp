// Position base files hold the user's work and may be damaged in any way: any bytes must open
// or fail cleanly, every listing, check, find and store must stay inside the file and end, and
// a store that succeeds must be found again, also after the save.
//
// The input is the file image with runs of zeros packed, so that small inputs reach the
// 256 KiB bucket tables: 0xFE followed by a 16-bit little-endian n stands for 16 n zero bytes
// (n = 0: the byte 0xFE itself); every other byte stands for itself.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "ScratchFile.h"
#include "bases/PositionBase.h"
#include "board/HashFunc.h"
#include "board/PositionFunc.h"

using namespace kessaro;

namespace {

constexpr std::size_t kMaxImage = 2u << 20;
constexpr std::size_t kMaxListed = 200;

std::vector<std::uint8_t> Unpack(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < size && out.size() < kMaxImage; ++i) {
    if (data[i] != 0xFE || i + 2 >= size) {
      out.push_back(data[i]);
      continue;
    }
    const std::size_t n = data[i + 1] | data[i + 2] << 8;
    i += 2;
    if (n == 0)
      out.push_back(0xFE);
    else
      out.resize(std::min(kMaxImage, out.size() + 16 * n), 0);
  }
  return out;
}

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// A store that succeeded with data must be found again with that data.
void StoreAndFind(TCustomPositionBase& base, const TMatrix& m, TRegionWord region,
                  const TPosData& data) {
  if (!base.StorePosition(m, region, data) || data.empty()) return;
  TSymmetry code = 0;
  TPosData found;
  Check(base.FindPosition(m, region, code, found), "stored position not found");
  Check(found == data, "stored data differs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> image = Unpack(data, size);
  fuzz::WriteScratch(image.data(), image.size());

  std::seed_seq seed(data, data + std::min<std::size_t>(size, 64));
  std::mt19937 rng(seed);
  TMatrix last;
  TRegionWord lastRegion = 0;
  TPosData lastData;
  const bool save = size % 4 == 0;
  {
    TCustomPositionBase base;
    base.SetReadOnly(false);
    base.SetMapped(size % 2 == 0);
    if (!base.Open(fuzz::ScratchPath())) return 0;
    CheckPositionBase(base);

    // Every listed position is found in another orientation and then replaced.
    std::vector<std::pair<TRegionWord, TMatrix>> listed;
    ForEachPosition(base, [&](const TPosTable& t, const TPosRecord& r) {
      TMatrix m;
      TRegionWord region = 0;
      if (listed.size() < kMaxListed && DecodePosition(r.Position, m, region))
        listed.emplace_back(t.Region, std::move(m));
    });
    for (auto& [region, m] : listed) {
      if (!IsValidRegion(region)) continue;
      TMatrix turned = m;
      const auto code = static_cast<TSymmetry>(rng() & 7);
      if (RegionSymmetries(region) & (1u << code))
        TransformMatrix(turned, code, RegionWidth(region), RegionHeight(region));
      TSymmetry found = 0;
      TPosData d;
      base.FindPosition(turned, region, found, d);
      StoreAndFind(base, turned, region, TPosData(rng() % 24, static_cast<std::uint8_t>(rng())));
    }

    // New positions, some of them with the same bucket as a stored one.
    const TRegionWord regions[] = {MakeRegion(rkCorner, 7, 7), MakeRegion(rkWholeBoard, 9, 9),
                                   MakeRegion(rkCentre, 5, 5)};
    for (int i = 0; i < 6; ++i) {
      const TRegionWord region = regions[rng() % 3];
      TMatrix m(static_cast<std::size_t>(RegionWidth(region) * RegionHeight(region)));
      for (auto& c : m) c = static_cast<std::uint8_t>(rng() % 4 == 0 ? 1 + rng() % 2 : 0);
      TPosData d(rng() % 40, static_cast<std::uint8_t>(i));
      StoreAndFind(base, m, region, d);
      if (!d.empty() && base.StorePosition(m, region, d)) {
        last = m;
        lastRegion = region;
        lastData = d;
      }
    }
    base.TakeErrors();
    // A save syncs the file and its folder, which costs more than all the rest: one input in
    // four is saved and checked again after reopening.
    if (!save) base.SetSaveEnabled(false);
  }
  // The save kept the last store.
  if (save && !lastData.empty()) {
    TCustomPositionBase base;
    base.SetReadOnly(false);
    if (base.Open(fuzz::ScratchPath())) {
      TSymmetry code = 0;
      TPosData found;
      Check(base.FindPosition(last, lastRegion, code, found), "saved position not found");
      Check(found == lastData, "saved data differs");
    }
  }
  return 0;
}
