#include "workspace/Annotation.h"

#include <algorithm>

namespace kessaro {

const std::array<const char*, kPositionAnnotationCount>& PositionAnnotationNames() {
  static const std::array<const char*, kPositionAnnotationCount> names = {
      "No",           "Hot Spot",       "Very Good for Black", "Good for Black", "Unclear",
      "Very Unclear", "Even",           "Very Even",           "Joseki",         "Old Style",
      "New Style",    "Good for White", "Very Good for White"};
  return names;
}

const std::array<const char*, kMoveAnnotationCount>& MoveAnnotationNames() {
  static const std::array<const char*, kMoveAnnotationCount> names = {"No",
                                                                      "Critical Bad Move",
                                                                      "Very Bad Move",
                                                                      "Bad Move",
                                                                      "Doubtful Move",
                                                                      "Questionable",
                                                                      "Hamete",
                                                                      "Old Style",
                                                                      "New Style",
                                                                      "Joseki",
                                                                      "Unusual Play",
                                                                      "Intresting Move",
                                                                      "Good Move",
                                                                      "Suji",
                                                                      "Tesuji",
                                                                      "Very Good Move",
                                                                      "Critical Good Move"};
  return names;
}

std::uint32_t AnnotationWord(const std::array<std::uint8_t, 4>& bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
         (static_cast<std::uint32_t>(bytes[2]) << 16) |
         (static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::array<std::uint8_t, 4> AnnotationBytes(std::uint32_t word) {
  return {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
          static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 24)};
}

TAnnotationControls TAnnotation::FromValue() const {
  auto bytes = AnnotationBytes(value_);
  TAnnotationControls c;
  c.ShichoDepends = bytes[0] != 0;
  c.PossibleTenuki = bytes[1] != 0;
  // An index beyond the list (a damaged record) shows as no selection.
  c.MoveIndex = bytes[2] < kMoveAnnotationCount ? bytes[2] : -1;
  c.PositionIndex = bytes[3] < kPositionAnnotationCount ? bytes[3] : -1;
  return c;
}

std::uint32_t TAnnotation::GetValue() {
  if (Controls.MoveIndex < 0) Controls.MoveIndex = 0;
  if (Controls.PositionIndex < 0) Controls.PositionIndex = 0;
  std::array<std::uint8_t, 4> bytes = {
      static_cast<std::uint8_t>(Controls.ShichoDepends ? 1 : 0),
      static_cast<std::uint8_t>(Controls.PossibleTenuki ? 1 : 0),
      static_cast<std::uint8_t>(std::min(Controls.MoveIndex, kMoveAnnotationCount - 1)),
      static_cast<std::uint8_t>(std::min(Controls.PositionIndex, kPositionAnnotationCount - 1))};
  value_ = AnnotationWord(bytes);
  return value_;
}

void TAnnotation::SetValue(std::uint32_t word) {
  value_ = word;
  inSetValue_ = true;
  Controls = FromValue();
  inSetValue_ = false;
}

void TAnnotation::SetEditable(bool on) {
  if (editable_) GetValue();
  editable_ = on;
}

bool TAnnotation::ControlsChanged(const TAnnotationControls& now) {
  if (inSetValue_) return false;
  if (!editable_) {
    Controls = FromValue();
    return false;
  }
  Controls = now;
  if (OnChange) OnChange();
  return true;
}

TAnnotationLayout LayoutAnnotation(int clientWidth, const TAnnotationMetrics& m) {
  TAnnotationLayout l;
  int rowHeight = std::max(m.LabelHeight, m.ListHeight);
  l.PositionLabel = {m.Margin, m.Margin + (rowHeight - m.LabelHeight) / 2, m.PositionLabelWidth,
                     m.LabelHeight};
  const int gap = 9;
  l.PositionList = {l.PositionLabel.Right() + gap, m.Margin + (rowHeight - m.ListHeight) / 2,
                    m.ListWidth, m.ListHeight};
  l.OneRow = 2 * (l.PositionLabel.Right() + 18 + m.ListWidth) + 26 < clientWidth;
  if (l.OneRow) {
    l.MoveList = {clientWidth - m.Margin - m.ListWidth, l.PositionList.Top, m.ListWidth,
                  m.ListHeight};
    l.MoveLabel = {l.MoveList.Left - gap - m.MoveLabelWidth, l.PositionLabel.Top, m.MoveLabelWidth,
                   m.LabelHeight};
  } else {
    int top = m.Margin + rowHeight + 2;
    l.MoveLabel = {m.Margin, top + (rowHeight - m.LabelHeight) / 2, m.MoveLabelWidth,
                   m.LabelHeight};
    l.MoveList = {l.PositionList.Left, top + (rowHeight - m.ListHeight) / 2, m.ListWidth,
                  m.ListHeight};
  }
  int listsBottom = std::max({l.PositionList.Bottom(), l.MoveList.Bottom(),
                              l.PositionLabel.Bottom(), l.MoveLabel.Bottom()});
  l.Shicho = {m.Margin, listsBottom + 2, m.ShichoWidth, m.CheckHeight};
  l.TenukiBeside = m.Margin + m.ShichoWidth + m.TenukiWidth + 29 <= clientWidth;
  if (l.TenukiBeside) {
    l.Tenuki = {l.Shicho.Right() + gap, l.Shicho.Top, m.TenukiWidth, m.CheckHeight};
  } else {
    l.Tenuki = {m.Margin, l.Shicho.Bottom() + 2, m.TenukiWidth, m.CheckHeight};
  }
  l.Height = std::max(l.Shicho.Bottom(), l.Tenuki.Bottom()) + 2;
  return l;
}

}  // namespace kessaro
