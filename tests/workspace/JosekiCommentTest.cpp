#include "workspace/JosekiComment.h"

#include <gtest/gtest.h>

#include <functional>

#include "bases/PositionBase.h"
#include "support/ByteFixtures.h"

namespace kessaro {
namespace {

const char* const kJaText = "\x92\xe8\x90\xce";              // "joseki" in Shift_JIS
const char* const kRuText = "\xc4\xe7\xee\xf1\xe5\xea\xe8";  // in Windows-1251

struct RecordingHost : TJosekiCommentHost {
  bool answer = true;
  std::vector<std::string> questions, messages;
  std::function<bool(TEditComment&)> editor;
  bool ConfirmDelete(const std::string& q) override {
    questions.push_back(q);
    return answer;
  }
  bool RunCommentEditor(TEditComment& e) override { return editor ? editor(e) : false; }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
};

TSComment Comment(std::initializer_list<std::pair<TLanguage, const char*>> texts, int source,
                  int page) {
  TSComment c;
  c.Texts = std::make_unique<TStringSet>();
  for (auto& [language, text] : texts) c.Texts->SetText(language, text);
  c.Source = source;
  c.Page = page;
  return c;
}

void SetComments(TSequence& node, TSComments list) {
  ASSERT_TRUE(BuildComments(list, node.CommentSet));
  FreeComments(list);
}

TStringSet English(const char* text) {
  TStringSet s;
  s.SetText(kEnglish, text);
  return s;
}

struct PaneFixture : ::testing::Test {
  RecordingHost host;
  TJosekiComment pane{&host};
  TSequence node;
  void SetUp() override {
    node.Kind = skNetNode;
    node.Point = MakeMove(3, 3);
    pane.Sources.push_back(English("Kido"));
    pane.SetEditable(true);
  }
  void TearDown() override { pane.SetNode(nullptr); }
};

TEST_F(PaneFixture, LinesCarryTheirSourceLine) {
  TSComments list;
  list.push_back(Comment({{kEnglish, "hane first"}}, 1, 12));
  list.push_back(Comment({{kEnglish, "no page"}}, 1, 0));
  list.push_back(Comment({{kRussian, kRuText}}, 9, 3));  // a source beyond the list
  list.push_back(Comment({{kEnglish, ""}}, 1, 5));       // no text: no line
  list.push_back(Comment({{kJapanese, kJaText}}, 0, 0));
  SetComments(node, std::move(list));
  pane.SetNode(&node);
  ASSERT_EQ(pane.LineCount(), 4);
  EXPECT_EQ(pane.Lines[0].Text, "hane first\r\nSource: Kido, 12");
  EXPECT_EQ(pane.Lines[1].Text, "no page\r\nSource: Kido");
  EXPECT_EQ(pane.Lines[2].Text, std::string(kRuText) + "\r\nSource: Unknown, 3");
  EXPECT_EQ(pane.Lines[2].Language, kRussian);
  EXPECT_EQ(pane.Lines[3].Language, kJapanese);
  EXPECT_EQ(pane.ListMap, (std::vector<std::int32_t>{0, 1, 2, 4}));
}

TEST_F(PaneFixture, UserMoveAtTheSamePointIsShownInstead) {
  TSequence user;
  user.Kind = skUserMove;
  user.Point = node.Point;
  user.Annotations = {1, 0, 11, 8};
  node.NextSibling = &user;
  pane.SetNode(&node);
  EXPECT_EQ(pane.Node(), &user);
  EXPECT_EQ(pane.Annotation.Controls, (TAnnotationControls{true, false, 11, 8}));
  node.NextSibling = nullptr;
}

TEST_F(PaneFixture, DeleteAsksAndCancelKeeps) {
  TSComments list;
  list.push_back(Comment({{kEnglish, "one"}}, 1, 0));
  list.push_back(Comment({{kEnglish, "two"}}, 0, 0));
  SetComments(node, std::move(list));
  pane.SetNode(&node);
  host.answer = false;
  pane.DeleteComment(0);
  EXPECT_EQ(host.questions, std::vector<std::string>{"Delete comment?"});
  EXPECT_EQ(pane.LineCount(), 2);
  EXPECT_EQ(node.Flags & sfModified, 0);
  host.answer = true;
  pane.DeleteComment(0);
  ASSERT_EQ(pane.LineCount(), 1);
  EXPECT_EQ(pane.Lines[0].Text, "two\r\nSource: Unknown");
  EXPECT_EQ(pane.ListMap, std::vector<std::int32_t>{0});
  EXPECT_NE(node.Flags & sfModified, 0);
}

TEST_F(PaneFixture, EmptiedCommentKeepsItsSourceButLosesItsLine) {
  TSComments list;
  list.push_back(Comment({{kEnglish, "text"}}, 1, 4));
  SetComments(node, std::move(list));
  pane.SetNode(&node);
  host.editor = [](TEditComment& e) {
    EXPECT_EQ(e.Language(), kEnglish);
    EXPECT_EQ(e.MemoText(), "text");
    e.SetMemoText("  ");
    return true;
  };
  pane.EditComment(0);
  EXPECT_EQ(pane.LineCount(), 0);
  ASSERT_EQ(pane.Comments.size(), 1u);
  EXPECT_EQ(pane.Comments[0].Source, 1);
  EXPECT_EQ(pane.Comments[0].Page, 4);
}

TEST_F(PaneFixture, ReadOnlyPaneChangesNothing) {
  SetComments(node, {});
  node.Annotations = {0, 1, 3, 2};
  pane.SetEditable(false);
  pane.SetNode(&node);
  EXPECT_FALSE(pane.AddEnabled());
  EXPECT_FALSE(pane.DeleteEnabled(0));
  TAnnotationControls changed = pane.Annotation.Controls;
  changed.MoveIndex = 5;
  EXPECT_FALSE(pane.Annotation.ControlsChanged(changed));
  EXPECT_EQ(pane.Annotation.Controls.MoveIndex, 3);  // put back
  host.editor = [](TEditComment& e) {
    e.SetMemoText("added");
    return true;
  };
  pane.AddComment();
  EXPECT_TRUE(pane.Comments.empty());
  EXPECT_EQ(node.Flags & sfModified, 0);
}

TEST_F(PaneFixture, FlushWritesCommentsAndAnnotationsAndFreesAnEmptySet) {
  SetComments(node, {});
  pane.SetNode(&node);
  TAnnotationControls c{true, true, 11, 12};
  ASSERT_TRUE(pane.Annotation.ControlsChanged(c));
  host.editor = [](TEditComment& e) {
    e.SetMemoText("new");
    e.SourceChosen(1);
    e.SetPage(7);
    return true;
  };
  pane.AddComment();
  ASSERT_EQ(pane.LineCount(), 1);
  EXPECT_EQ(pane.Lines[0].Text, "new\r\nSource: Kido, 7");
  ASSERT_TRUE(pane.Flush());
  EXPECT_EQ(node.Annotations, (std::array<std::uint8_t, 4>{1, 1, 11, 12}));
  TSComments back;
  ParseComments(node.CommentSet.get(), back);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].Texts->GetText(kEnglish), "new");
  EXPECT_EQ(back[0].Source, 1);
  FreeComments(back);

  host.answer = true;
  pane.DeleteComment(0);
  ASSERT_TRUE(pane.Flush());
  EXPECT_EQ(node.CommentSet, nullptr);
}

TEST_F(PaneFixture, SwitchingNodeFlushesTheEditFirst) {
  TSequence other;
  other.Point = MakeMove(5, 5);
  pane.SetNode(&node);
  host.editor = [](TEditComment& e) {
    e.SetMemoText("kept");
    return true;
  };
  pane.AddComment();
  pane.SetNode(&other);
  TSComments back;
  ParseComments(node.CommentSet.get(), back);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].Texts->GetText(kEnglish), "kept");
  FreeComments(back);
}

TEST_F(PaneFixture, TooLongEditIsRefusedWithAMessage) {
  TSComments list;
  list.push_back(Comment({{kEnglish, "short"}}, 0, 0));
  SetComments(node, std::move(list));
  pane.SetNode(&node);
  host.editor = [](TEditComment& e) {
    e.SetMemoText(std::string(70000, 'x'));
    return true;
  };
  pane.EditComment(0);
  EXPECT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(pane.Lines[0].Text, "short\r\nSource: Unknown");
  EXPECT_EQ(node.Flags & sfModified, 0);
}

class WritableBase : public TPositionBase {
 public:
  WritableBase() { SetReadOnly(false); }
};

std::string FreshBase(const std::string& name) {
  for (const char* ext : {".pos", ".str", ".sid", ".sbk", ".ltr", ".lid", ".lbk"})
    test::TempPath(name + ext);
  return test::TempPath(name);
}

TEST(JosekiCommentBase, SourceGapSurvivesLoadAndSave) {
  const std::string name = FreshBase("Gap");
  WritableBase base;
  ASSERT_TRUE(base.Open(name));
  TStringSet first = English("First"), third = English("Third");
  base.LetterBase().Write(1, &first);
  base.LetterBase().Write(3, &third);  // 2 is a gap
  TJosekiComment pane;
  pane.LoadSources(&base);
  ASSERT_EQ(pane.Sources.size(), 4u);
  EXPECT_TRUE(pane.Sources[2].Empty());
  EXPECT_EQ(pane.Sources[3].GetText(kEnglish), "Third");
  pane.Sources[1].SetText(kEnglish, "First edited");
  pane.SaveSources(&base);
  ASSERT_TRUE(base.Reopen());
  TStringSet read;
  base.LetterBase().Read(3, read);
  EXPECT_EQ(read.GetText(kEnglish), "Third");
  base.LetterBase().Read(1, read);
  EXPECT_EQ(read.GetText(kEnglish), "First edited");
  base.LetterBase().Read(2, read);
  EXPECT_TRUE(read.Empty());
}

// What the net window does when it saves a node: the comment set goes into the comment base
// under a number that the position's move refers to, the source names into the letter base.
TEST(JosekiCommentBase, ThreeScriptsAndAnAddedSourceComeBackAfterReopening) {
  const std::string name = FreshBase("Round");
  RecordingHost host;
  TSequence node;
  node.Kind = skNetNode;
  {
    WritableBase base;
    ASSERT_TRUE(base.Open(name));
    TJosekiComment pane(&host);
    pane.LoadSources(&base);
    pane.SetEditable(true);
    pane.SetNode(&node);
    host.editor = [](TEditComment& e) {
      e.RunEditor = [](TStringSetLangEdit& s) {
        s.SetMemoText("Kido 1975");
        return true;
      };
      e.AddSource();
      e.SetLanguage(kJapanese);
      e.SetMemoText(kJaText);
      e.SetLanguage(kRussian);
      e.SetMemoText(kRuText);
      e.SetLanguage(kEnglish);
      e.SetMemoText("Joseki");
      e.SetPage(12);
      return true;
    };
    pane.AddComment();
    ASSERT_TRUE(pane.Flush());
    ASSERT_NE(node.CommentSet, nullptr);
    base.CommentBase().Write(1, node.CommentSet.get());
    pane.SaveSources(&base);
    pane.SetNode(nullptr);
  }
  WritableBase base;
  ASSERT_TRUE(base.Open(name + ".pos"));
  TSequence reread;
  reread.Kind = skNetNode;
  base.CommentBase().Read(1, reread.CommentSet);
  TJosekiComment pane(&host);
  pane.LoadSources(&base);
  pane.SetNode(&reread);
  ASSERT_EQ(pane.Comments.size(), 1u);
  const TSComment& c = pane.Comments[0];
  EXPECT_EQ(c.Texts->GetText(kJapanese), kJaText);
  EXPECT_EQ(c.Texts->GetText(kRussian), kRuText);
  EXPECT_EQ(c.Texts->GetText(kEnglish), "Joseki");
  EXPECT_EQ(c.Source, 1);
  EXPECT_EQ(c.Page, 12);
  ASSERT_EQ(pane.LineCount(), 1);
  EXPECT_EQ(pane.Lines[0].Text, "Joseki\r\nSource: Kido 1975, 12");
  pane.SetNode(nullptr);
}

}  // namespace
}  // namespace kessaro
