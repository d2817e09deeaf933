#pragma once
// Game sources for sub base tests: no product code loads a game base, so tests supply one.

#include <cstdint>

#include "bases/SubBase.h"
#include "records/GameFunc.h"

namespace kessaro::test {

class TFakeGameSource : public TGameSource {
 public:
  TFakeGameSource(std::uint32_t count, std::uint32_t identity)
      : count_(count), identity_(identity) {}
  std::uint32_t GameCount() const override { return count_; }
  std::uint32_t Identity() const override { return identity_; }
  bool LoadGame(std::uint32_t number, TGame& game) override {
    ++loads;
    if (failing) {
      errors = ErrIO;
      return false;
    }
    game.BoardSize = 19;
    game.Handicap = static_cast<std::int8_t>(number % 10);
    return true;
  }
  std::uint32_t TakeErrors() override {
    const std::uint32_t e = errors;
    errors = 0;
    return e;
  }
  int loads = 0;
  bool failing = false;
  std::uint32_t errors = 0;

 private:
  std::uint32_t count_, identity_;
};

class TFakeVarsSource : public TVarsSource {
 public:
  TFakeVarsSource(std::uint32_t count, std::uint32_t identity, std::uint32_t recorded = 0)
      : count_(count), identity_(identity), recorded_(recorded) {}
  std::uint32_t VariationCount() const override { return count_; }
  std::uint32_t Identity() const override { return identity_; }
  std::uint32_t RecordedCount() const override { return recorded_; }

 private:
  std::uint32_t count_, identity_, recorded_;
};

}  // namespace kessaro::test
