#include "bases/GameMask.h"

#include <cstring>

#include "records/GameFunc.h"

namespace kessaro {

TGameMask::TGameMask() {
  InitGame(template_);
}

TGameMask::~TGameMask() {
  Clear();
}

void TGameMask::Add(TGameInfoElement element, const void* value, std::size_t size) {
  TGameMaskItem item;
  item.Element = element;
  const auto* bytes = static_cast<const std::uint8_t*>(value);
  if (ElementKind(element) == ekText)
    item.Text.assign(reinterpret_cast<const char*>(bytes), size);
  else
    item.Value.assign(bytes, bytes + size);
  items_.push_back(std::move(item));
}

void TGameMask::AddText(TGameInfoElement element, const std::string& text) {
  Add(element, text.data(), text.size());
}

void TGameMask::Clear() {
  items_.clear();
  Text.clear();
  FreeGame(template_);
  InitGame(template_);
}

void InstallGameMaskFactory() {
  TSubBase::MaskFactory = [](TSubBase&) -> std::unique_ptr<TSubBaseMask> {
    return std::make_unique<TGameMask>();
  };
}

}  // namespace kessaro
