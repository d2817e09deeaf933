// Sub base files come from outside: any bytes must open or fail cleanly, and binding and
// enumerating an opened sub base must stay within its fields and end.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "FuzzTarget.h"
#include "ScratchFile.h"
#include "bases/SubBase.h"

using namespace kessaro;

namespace {

class TFuzzSource : public TGameSource, public TVarsSource {
 public:
  explicit TFuzzSource(const TSubBase& sub, TSubBasePart part)
      : count_(sub.RecordedCount(part)), identity_(sub.RecordedIdentity(part)) {}
  std::uint32_t GameCount() const override { return count_ % 5000; }
  std::uint32_t VariationCount() const override { return count_ % 5000; }
  std::uint32_t RecordedCount() const override { return count_; }
  std::uint32_t Identity() const override { return identity_; }
  bool LoadGame(std::uint32_t, TGame&) override { return true; }
  std::uint32_t TakeErrors() override { return 0; }

 private:
  std::uint32_t count_, identity_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::WriteScratch(data, size);
  TSubBase sub;
  if (!sub.Open(fuzz::ScratchPath())) return 0;
  TFuzzSource games(sub, spGame), users(sub, spUser), vars(sub, spVars);
  sub.Bind(&games, &users, &vars);
  int steps = 0;
  for (std::uint32_t id = sub.FirstGame(); id != 0 && steps < 20000; id = sub.NextGame(id)) {
    ++steps;
    TGame game;
    game.GameNo = static_cast<std::int32_t>(id);
    sub.LoadGame(game);
  }
  for (std::uint32_t id = sub.LastGame(); id != 0 && steps < 40000; id = sub.PriorGame(id)) ++steps;
  sub.Identity();
  sub.MenuName();
  sub.TakeErrors();
  return 0;
}
