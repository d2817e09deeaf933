#pragma once
// The game mask a sub base may carry: a text, a game record used as a template, and a list of
// criteria, each a game information element with a value. Values of text elements are texts,
// the others plain bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "bases/SubBase.h"
#include "records/GameTypes.h"

namespace kessaro {

struct TGameMaskItem {
  TGameInfoElement Element = GI_Empty;
  std::string Text;                 // text elements
  std::vector<std::uint8_t> Value;  // every other element
};
using TGameMaskArray = std::vector<TGameMaskItem>;

class TGameMask : public TSubBaseMask {
 public:
  TGameMask();
  ~TGameMask() override;
  TGameMask(const TGameMask&) = delete;
  TGameMask& operator=(const TGameMask&) = delete;

  // Adds a criterion; a text element keeps the bytes as its text, any other as its value.
  void Add(TGameInfoElement element, const void* value, std::size_t size);
  void AddText(TGameInfoElement element, const std::string& text);
  // Releases every value by its element's kind, the text and the template.
  void Clear();

  std::size_t Count() const { return items_.size(); }
  // Null outside the list.
  const TGameMaskItem* ItemAt(std::size_t i) const {
    return i < items_.size() ? &items_[i] : nullptr;
  }
  std::string Text;
  TGame& Template() { return template_; }
  const TGame& Template() const { return template_; }

 private:
  TGameMaskArray items_;
  TGame template_;
};

// Lets every sub base that has a mask create a TGameMask when it opens.
void InstallGameMaskFactory();

}  // namespace kessaro
