#include "workspace/qt/JosekiCommentView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QPlainTextEdit>
#include <filesystem>

#include "lists/qt/LangListBox.h"
#include "platform/CodePage.h"
#include "strings/qt/EditCommentDialog.h"

namespace kessaro {
namespace {

TSComment Comment(TLanguage language, const char* utf8, int source, int page) {
  TSComment c;
  c.Texts = std::make_unique<TStringSet>();
  c.Texts->SetText(language, FromUtf8(language, utf8));
  c.Source = source;
  c.Page = page;
  return c;
}

std::string Shot(QWidget& w, const char* name) {
  const std::string path = (std::filesystem::current_path() / name).string();
  w.grab().save(QString::fromStdString(path));
  return path;
}

// A node with comments in three scripts and both annotations, as the screenshots show it.
struct PaneView : ::testing::Test {
  TJosekiCommentView view;
  TSequence node;
  void SetUp() override {
    node.Kind = skNetNode;
    node.Annotations = {1, 1, 14, 8};  // shicho, tenuki, "Tesuji", "Joseki"
    TSComments list;
    list.push_back(
        Comment(kJapanese, "定石：三々入りの後、白は ハネ で応じるのが普通です。", 1, 12));
    list.push_back(Comment(kRussian, "Джосеки: вторжение в 3-3, белые отвечают ханэ.", 1, 0));
    list.push_back(
        Comment(kEnglish, "The standard answer to the 3-3 invasion; black lives small.", 2, 7));
    ASSERT_TRUE(BuildComments(list, node.CommentSet));
    FreeComments(list);
    TStringSet kido, dict;
    kido.SetText(kJapanese, FromUtf8(kJapanese, "基本定石事典"));
    dict.SetText(kEnglish, "Dictionary of Basic Joseki");
    view.Logic().Sources.push_back(kido);
    view.Logic().Sources.push_back(dict);
    view.Logic().SetEditable(true);
    view.resize(380, 420);
    view.Logic().SetNode(&node);
    view.show();
    QApplication::processEvents();
  }
  void TearDown() override { view.Logic().SetNode(nullptr); }
};

TEST_F(PaneView, ShowsEveryLineAndBothAnnotations) {
  ASSERT_EQ(view.List()->Count(), 3);
  EXPECT_EQ(view.List()->item(1)->text().toStdString(),
            "Джосеки: вторжение в 3-3, белые отвечают ханэ.\r\nSource: "
            "基本定石事典");
  auto* move = view.findChild<QComboBox*>("cmbAnnotationMove");
  auto* position = view.findChild<QComboBox*>("cmbAnnotationPosition");
  ASSERT_TRUE(move && position);
  EXPECT_EQ(move->currentText(), "Tesuji");
  EXPECT_EQ(position->currentText(), "Joseki");
  for (int i = 0; i < 3; ++i) EXPECT_GT(view.List()->LineHeight(i), 2 * 8) << i;
  Shot(view, "joseki-pane.png");
  view.resize(640, 300);
  QApplication::processEvents();
  Shot(view, "joseki-pane-wide.png");
}

TEST_F(PaneView, ReadOnlyPanePutsAnAnnotationChangeBack) {
  view.Logic().SetEditable(false);
  auto* move = view.findChild<QComboBox*>("cmbAnnotationMove");
  move->setCurrentIndex(3);
  EXPECT_EQ(move->currentText(), "Tesuji");
  EXPECT_EQ(node.Flags & sfModified, 0);
}

TEST(LangListBoxView, LongLineStopsAt255Pixels) {
  TLangListBox box;
  box.resize(200, 300);
  std::string text;
  for (int i = 0; i < 30; ++i) text += "line\r\n";
  box.AddLine(std::string("one"), kEnglish, 0);
  box.AddLine(text, kEnglish, 0);
  EXPECT_LT(box.LineHeight(0), 40);
  EXPECT_EQ(box.LineHeight(1), 255);
}

TEST(EditCommentView, ShowsTheCommentInItsLanguagesFont) {
  AStringSet sources(2);
  sources[0].SetText(kEnglish, "Unknown");
  sources[1].SetText(kJapanese, FromUtf8(kJapanese, "基本定石事典"));
  TEditComment logic;
  logic.SetEditable(true);
  logic.SetSources(&sources);
  TEditCommentRecord record;
  record.Texts.SetText(kJapanese, FromUtf8(kJapanese, "定石：三々入りの後、白はハネで応じる。"));
  record.Texts.SetText(kRussian, FromUtf8(kRussian, "Джосеки"));
  record.Source = 1;
  record.Page = 12;
  logic.SetComment(record);
  logic.SetLanguage(kJapanese);
  TEditCommentDialog dialog(logic);
  dialog.Refresh();
  dialog.show();
  QApplication::processEvents();
  auto* memo = dialog.findChild<QPlainTextEdit*>("mmComment");
  ASSERT_NE(memo, nullptr);
  EXPECT_EQ(memo->toPlainText().toStdString(), "定石：三々入りの後、白はハネで応じる。");
  Shot(dialog, "edit-comment.png");
  // Switching language in the list commits the memo and shows Russian.
  memo->setPlainText("  changed  twice ");
  auto* language = dialog.findChild<QComboBox*>("cmbLanguage");
  language->setCurrentIndex(4);
  emit language->activated(4);
  EXPECT_EQ(memo->toPlainText().toStdString(), "Джосеки");
  Shot(dialog, "edit-comment-russian.png");
  TEditCommentRecord out;
  ASSERT_TRUE(logic.GetComment(out));
  EXPECT_EQ(out.Texts.GetText(kJapanese), "changed twice");
  EXPECT_EQ(out.Source, 1);
  EXPECT_EQ(out.Page, 12);
}

}  // namespace
}  // namespace kessaro
