#pragma once
// The annotation frame of the joseki comment pane: the ladder and tenuki check boxes and the
// move and position annotation lists over a node's four annotation bytes. The view mirrors
// Controls; a read-only frame puts back any change the user makes.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace kessaro {

constexpr int kPositionAnnotationCount = 13;
constexpr int kMoveAnnotationCount = 17;
const std::array<const char*, kPositionAnnotationCount>& PositionAnnotationNames();
const std::array<const char*, kMoveAnnotationCount>& MoveAnnotationNames();

// The four bytes of a node as one word: ladder flag (bits 0-7), tenuki flag, move annotation,
// position annotation (bits 24-31).
std::uint32_t AnnotationWord(const std::array<std::uint8_t, 4>& bytes);
std::array<std::uint8_t, 4> AnnotationBytes(std::uint32_t word);

struct TAnnotationControls {
  bool ShichoDepends = false;
  bool PossibleTenuki = false;
  int MoveIndex = 0;  // -1: no selection
  int PositionIndex = 0;
  bool operator==(const TAnnotationControls&) const = default;
};

class TAnnotation {
 public:
  // Reads the controls into Value (a list without selection is set to item 0 first).
  std::uint32_t GetValue();
  // Sets Value and the controls from it without calling OnChange.
  void SetValue(std::uint32_t word);
  // A read-only frame takes nothing from its controls after this.
  void SetEditable(bool on);
  bool Editable() const { return editable_; }
  std::uint32_t Value() const { return value_; }

  // The view reports a change of one of its controls; a read-only frame puts the controls
  // back (the view shows Controls again) and returns false.
  bool ControlsChanged(const TAnnotationControls& now);

  TAnnotationControls Controls;
  std::function<void()> OnChange;

 private:
  TAnnotationControls FromValue() const;

  bool editable_ = false;
  bool inSetValue_ = false;
  std::uint32_t value_ = 0;
};

// The pixel sizes the layout works from; the view measures them in its font.
struct TAnnotationMetrics {
  int Margin = 8;
  int PositionLabelWidth = 70, MoveLabelWidth = 70, LabelHeight = 26;
  int ListWidth = 150, ListHeight = 21;
  int ShichoWidth = 160, TenukiWidth = 110, CheckHeight = 17;
};

struct TRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int Right() const { return Left + Width; }
  int Bottom() const { return Top + Height; }
  bool operator==(const TRect&) const = default;
};

struct TAnnotationLayout {
  bool OneRow = false;
  bool TenukiBeside = false;
  TRect PositionLabel, PositionList, MoveLabel, MoveList, Shicho, Tenuki;
  int Height = 0;  // the frame's height
};

// The layout for a client width: both lists on one row when twice (position label's right edge
// + 18 + list width) + 26 is less than the width, else the move row under the position row; the
// shicho box 2 pixels below, the tenuki box beside it when both fit with 29 pixels to spare.
TAnnotationLayout LayoutAnnotation(int clientWidth, const TAnnotationMetrics& m);

}  // namespace kessaro
