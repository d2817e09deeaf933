#include "strings/EditComment.h"

#include <gtest/gtest.h>

namespace kessaro {
namespace {

TEST(EditCommentTest, MemoIsTrimmedAndBlankRunsCollapseToOne) {
  struct Case {
    const char* memo;
    const char* stored;
  } cases[] = {
      {"  a  b\r\n\r\n", "a b"},
      {"a   b", "a b"},  // three blanks: one, not two
      {"\r\n a \r\n b \r\n", "a \r\n b"},
      {"   \r\n", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CleanMemoText(c.memo), c.stored) << c.memo;
}

TEST(EditCommentTest, SwitchingLanguageCommitsAndAnEmptiedLanguageIsRemoved) {
  TEditComment editor;
  editor.SetEditable(true);
  TEditCommentRecord record;
  record.Texts.SetText(kEnglish, "old");
  record.Texts.SetText(kRussian, "\xcf\xf0\xe8");
  editor.SetComment(record);
  editor.SetLanguage(kEnglish);
  EXPECT_EQ(editor.MemoText(), "old");
  EXPECT_EQ(editor.LanguagePosition(), 0);
  editor.SetMemoText("  new  text\r\n");
  ASSERT_TRUE(editor.LanguageChosen(4));  // position 4: Russian
  EXPECT_EQ(editor.Language(), kRussian);
  editor.SetMemoText("");
  editor.LanguageChosen(1);  // Japanese
  TEditCommentRecord out;
  ASSERT_TRUE(editor.GetComment(out));
  EXPECT_EQ(out.Texts.GetText(kEnglish), "new text");
  EXPECT_EQ(out.Texts.GetLanguages(), TIDs{kEnglish});
}

TEST(EditCommentTest, ReadOnlyEditorStoresNothing) {
  AStringSet sources(1);
  sources[0].SetText(kEnglish, "Unknown");
  TEditComment editor;
  editor.SetSources(&sources);
  TEditCommentRecord record;
  record.Texts.SetText(kEnglish, "kept");
  editor.SetComment(record);
  editor.SetLanguage(kEnglish);
  editor.SetMemoText("changed");
  EXPECT_TRUE(editor.MemoReadOnly());
  EXPECT_FALSE(editor.AddSourceEnabled());
  bool opened = false;
  editor.RunEditor = [&](TStringSetLangEdit& e) {
    opened = true;
    EXPECT_TRUE(e.ReadOnly);
    e.SetMemoText("Kido");
    return true;
  };
  editor.AddSource();
  EXPECT_TRUE(opened);
  EXPECT_EQ(sources.size(), 1u);
  TEditCommentRecord out;
  editor.GetComment(out);
  EXPECT_EQ(out.Texts.GetText(kEnglish), "kept");
}

TEST(EditCommentTest, PlusAddsASourceAndEEditsIt) {
  AStringSet sources(1);
  sources[0].SetText(kEnglish, "Unknown");
  TEditComment editor;
  editor.SetEditable(true);
  editor.SetSources(&sources);
  EXPECT_FALSE(editor.EditSourceEnabled());
  std::string typed = "Kido 1970";
  editor.RunEditor = [&](TStringSetLangEdit& e) {
    EXPECT_EQ(e.Caption(), "Edit Source");
    EXPECT_FALSE(e.ReadOnly);
    e.SetMemoText(typed);
    return true;
  };
  editor.AddSource();
  ASSERT_EQ(sources.size(), 2u);
  EXPECT_EQ(editor.SourceIndex(), 1);
  EXPECT_EQ(editor.SourceItems()[1].Text, "Kido 1970");
  EXPECT_TRUE(editor.EditSourceEnabled());
  typed = "Kido 1971";
  editor.EditSource();
  EXPECT_EQ(sources[1].GetText(kEnglish), "Kido 1971");
  EXPECT_EQ(editor.SourceItems()[1].Text, "Kido 1971");
  // An empty new source is discarded.
  typed = "   ";
  editor.AddSource();
  EXPECT_EQ(sources.size(), 2u);
}

TEST(EditCommentTest, LanguageTreeUnknownEditsLanguageZero) {
  TStringSetLangEdit editor;
  TStringSet set;
  set.SetText(kEnglish, "name");
  editor.SetStringSet(&set);
  EXPECT_EQ(editor.MemoText(), "name");
  EXPECT_EQ(editor.LanguageNames().back(), "Unknown");
  editor.SetMemoText("  name  two ");
  ASSERT_TRUE(editor.NodeClicked("Unknown"));
  EXPECT_EQ(editor.Language(), kNoLanguage);
  EXPECT_EQ(editor.MemoHint(), "Unknown");
  editor.SetMemoText("none");
  TStringSet out;
  ASSERT_TRUE(editor.GetStringSet(out));
  EXPECT_EQ(out.GetText(kEnglish), "name two");
  EXPECT_EQ(out.GetText(kNoLanguage), "none");
}

TEST(EditCommentTest, TooLongTextIsRefusedAndNothingIsStoredHalf) {
  TEditComment editor;
  editor.SetEditable(true);
  TEditCommentRecord record;
  record.Texts.SetText(kEnglish, "short");
  editor.SetComment(record);
  editor.SetLanguage(kEnglish);
  editor.SetMemoText(std::string(70000, 'x'));
  TEditCommentRecord out;
  out.Page = 7;
  EXPECT_FALSE(editor.GetComment(out));
  EXPECT_EQ(out.Page, 7);
  EXPECT_FALSE(editor.SetLanguage(kJapanese));  // the memo keeps the text for the user
  EXPECT_EQ(editor.Language(), kEnglish);
}

}  // namespace
}  // namespace kessaro
