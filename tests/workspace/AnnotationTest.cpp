#include "workspace/Annotation.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kessaro {
namespace {

TEST(AnnotationTest, ValueWordHoldsTheFourBytesInOrder) {
  TAnnotation a;
  a.SetEditable(true);
  a.SetValue(AnnotationWord({1, 0, 11, 12}));
  EXPECT_EQ(a.Controls, (TAnnotationControls{true, false, 11, 12}));
  a.Controls.MoveIndex = -1;  // no selection reads as item 0
  EXPECT_EQ(AnnotationBytes(a.GetValue()), (std::array<std::uint8_t, 4>{1, 0, 0, 12}));
  // A damaged record's index beyond the list shows as no selection and is never written back.
  a.SetValue(AnnotationWord({0, 1, 200, 99}));
  EXPECT_EQ(a.Controls.MoveIndex, -1);
  EXPECT_EQ(AnnotationBytes(a.GetValue()), (std::array<std::uint8_t, 4>{0, 1, 0, 0}));
  EXPECT_STREQ(MoveAnnotationNames()[11], "Intresting Move");
}

TEST(AnnotationTest, SetValueDoesNotNotifyAndReadOnlyPutsControlsBack) {
  TAnnotation a;
  int changes = 0;
  a.OnChange = [&] { ++changes; };
  a.SetValue(AnnotationWord({0, 0, 3, 4}));
  TAnnotationControls typed{true, true, 5, 6};
  EXPECT_FALSE(a.ControlsChanged(typed));
  EXPECT_EQ(a.Controls, (TAnnotationControls{false, false, 3, 4}));
  a.SetEditable(true);
  EXPECT_TRUE(a.ControlsChanged(typed));
  EXPECT_EQ(changes, 1);
  a.SetEditable(false);  // takes the controls first
  EXPECT_EQ(AnnotationBytes(a.Value()), (std::array<std::uint8_t, 4>{1, 1, 5, 6}));
}

TEST(AnnotationTest, LayoutSwitchesBetweenOneAndTwoRows) {
  TAnnotationMetrics m;  // position label right edge 78, list 150: one row from 2*246+26 < W
  TAnnotationLayout wide = LayoutAnnotation(519, m);
  EXPECT_TRUE(wide.OneRow);
  EXPECT_EQ(wide.MoveList.Right(), 519 - 8);
  EXPECT_EQ(wide.MoveList.Top, wide.PositionList.Top);
  EXPECT_LT(wide.MoveLabel.Right(), wide.MoveList.Left);
  EXPECT_EQ(wide.MoveList.Left - wide.MoveLabel.Right(),
            wide.PositionList.Left - wide.PositionLabel.Right());
  TAnnotationLayout narrow = LayoutAnnotation(518, m);
  EXPECT_FALSE(narrow.OneRow);
  EXPECT_GT(narrow.MoveList.Top, narrow.PositionList.Bottom());
  EXPECT_EQ(narrow.MoveList.Left, narrow.PositionList.Left);
  EXPECT_GT(narrow.Height, wide.Height);
  // Tenuki beside shicho when both fit with 29 pixels to spare.
  EXPECT_TRUE(LayoutAnnotation(8 + 160 + 110 + 29, m).TenukiBeside);
  TAnnotationLayout tight = LayoutAnnotation(8 + 160 + 110 + 28, m);
  EXPECT_FALSE(tight.TenukiBeside);
  EXPECT_EQ(tight.Tenuki.Top, tight.Shicho.Bottom() + 2);
  EXPECT_EQ(tight.Shicho.Top, std::max(tight.MoveList.Bottom(), tight.MoveLabel.Bottom()) + 2);
}

}  // namespace
}  // namespace kessaro
