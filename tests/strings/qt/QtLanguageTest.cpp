// Labelling Qt windows from a language file, with the texts drawn in a font that has their
// glyphs.
#include "strings/qt/QtLanguage.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <fstream>
#include <memory>
#include <string>

namespace kessaro {
namespace {

// A dialog with a nested OK button (named in any letter case), a hinted action, a radio group
// and a combo box.
std::unique_ptr<QWidget> Window(const QString& name, const QString& okName) {
  auto window = std::make_unique<QWidget>();
  window->setObjectName(name);
  window->setWindowTitle("Options");
  auto* layout = new QVBoxLayout(window.get());
  auto* panel = new QWidget(window.get());
  panel->setObjectName("pnlButtons");
  auto* ok = new QPushButton("OK", panel);
  ok->setObjectName(okName);
  auto* label = new QLabel("Time delay for auto show", window.get());
  label->setObjectName("lbTimeDelayForAutoShow");
  auto* group = new QGroupBox("Next move", window.get());
  group->setObjectName("rgNextMove");
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(new QRadioButton("Black", group));
  groupLayout->addWidget(new QRadioButton("White", group));
  MarkRadioGroup(group);
  auto* combo = new QComboBox(window.get());
  combo->setObjectName("cmbZoom");
  combo->addItems({"50%", "100%"});
  auto* action = new QAction("&Invert", window.get());
  action->setObjectName("actInvert");
  action->setToolTip("Invert colours");
  action->setStatusTip("Swap black and white stones");
  for (QWidget* w : {static_cast<QWidget*>(panel), static_cast<QWidget*>(label),
                     static_cast<QWidget*>(group), static_cast<QWidget*>(combo)})
    layout->addWidget(w);
  return window;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class QtLanguage : public testing::Test {
 protected:
  QtLanguage() {
    first_ = Window("frmOptions", "btnOK");
    second_ = Window("frmAutoShow", "BTNok");
    ApplyLanguage(first_.get(), true, strings_);
    ApplyLanguage(second_.get(), true, strings_);
  }

  // Loads the file from the user home and relabels every open window.
  void Load(const std::string& bytes) {
    WriteFile(LanguageFilePath(), bytes);
    ASSERT_TRUE(strings_.LoadLanguageFile(LanguageFilePath()));
    ApplyLanguageToAllWindows(strings_);
  }

  static QPushButton* Ok(QWidget* w) {
    return w->findChild<QPushButton*>(QString(), Qt::FindChildrenRecursively);
  }

  TStringsHolder strings_;
  std::unique_ptr<QWidget> first_, second_;
};

TEST_F(QtLanguage, RegistersTheWindowsOwnTexts) {
  EXPECT_EQ(strings_.DefaultCaptions[btnOK], "OK");
  EXPECT_EQ(strings_.DefaultCaptions[frmOptions], "Options");
  EXPECT_EQ(strings_.DefaultCaptions[rgNextMove], "Next move|Black\r\nWhite");
  EXPECT_EQ(strings_.DefaultCaptions[cmbZoom], "50%\r\n100%");
  EXPECT_EQ(strings_.DefaultCaptions[actInvert], "&Invert");
  EXPECT_EQ(strings_.DefaultHints[actInvert], "Invert colours|Swap black and white stones");
}

TEST_F(QtLanguage, LoadRelabelsEveryOpenWindow) {
  Load(
      "[Language]\r\n\"ID\" = \"1033\"\r\n[Form]\r\n\"Options\" = \"Settings\"\r\n"
      "[Button]\r\n\"OK\" = \"Fine\"\r\n[Action]\r\n\"Invert\" = \"&Swap\"\r\n"
      "\"Invert Hint\" = \"Short|Long one\"\r\n[Radio Group]\r\n"
      "\"Next Move\" = \"Next|One\\nTwo\"\r\n[Combo Box]\r\n\"Zoom\" = \"25%\\n75%\\n150%\"\r\n"
      "[Label]\r\n\"Time Delay For Auto Show\" = \"Two\\nlines\"\r\n");
  for (QWidget* w : {first_.get(), second_.get()}) {
    EXPECT_EQ(Ok(w)->text(), "Fine") << w->objectName().toStdString();
    EXPECT_EQ(w->findChild<QLabel*>()->text(), "Two\nlines");
    auto* group = w->findChild<QGroupBox*>();
    EXPECT_EQ(group->title(), "Next");
    const auto radios = group->findChildren<QRadioButton*>();
    EXPECT_EQ(radios[0]->text(), "One");
    EXPECT_EQ(radios[1]->text(), "Two");
    auto* combo = w->findChild<QComboBox*>();
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(2), "150%");
    auto* action = w->findChild<QAction*>();
    EXPECT_EQ(action->text(), "&Swap");
    EXPECT_EQ(action->toolTip(), "Short");
    EXPECT_EQ(action->statusTip(), "Long one");
  }
  EXPECT_EQ(first_->windowTitle(), "Settings");
  EXPECT_EQ(second_->windowTitle(), "Options");  // "Auto Show" was not translated

  // A window built now labels itself while it is constructed.
  auto third = Window("frmGoToMoveNumber", "btnOk");
  ApplyLanguage(third.get(), true, strings_);
  EXPECT_EQ(Ok(third.get())->text(), "Fine");
}

// Renders a window's OK button into the build folder for a look, and checks that its font has
// every glyph of the text.
void CheckGlyphs(QWidget* window, const QString& expected, const char* png) {
  QPushButton* ok = window->findChild<QPushButton*>();
  ASSERT_EQ(ok->text(), expected);
  const QFontMetrics metrics(ok->font());
  for (const QChar c : expected) EXPECT_TRUE(metrics.inFont(c)) << png << " " << int(c.unicode());
  window->resize(320, 260);
  ok->resize(200, 40);
  ok->setMinimumSize(200, 40);
  const QString path = QCoreApplication::applicationDirPath() + "/" + png;
  EXPECT_TRUE(window->grab().save(path));
}

TEST_F(QtLanguage, JapaneseAndRussianTextsUseAFontWithTheirGlyphs) {
  // "了解" in Shift_JIS.
  Load("[Language]\r\n\"ID\" = \"1041\"\r\n[Button]\r\n\"OK\" = \"\x97\xb9\x89\xf0\"\r\n");
  EXPECT_EQ(strings_.LanguageCharset, 128);
  CheckGlyphs(first_.get(), QString::fromUtf8("了解"), "language-ja.png");

  // "Отмена ОК" in Windows-1251; the font name asked for is not installed.
  Load(
      "[Language]\r\n\"ID\" = \"1049\"\r\n\"FONT NAME\" = \"Arial Cyr\"\r\n[Button]\r\n"
      "\"OK\" = \"\xce\xf2\xec\xe5\xed\xe0 \xce\xca\"\r\n");
  EXPECT_EQ(strings_.LanguageCharset, 204);
  CheckGlyphs(second_.get(), QString::fromUtf8("Отмена ОК"), "language-ru.png");

  // Back to no language: the window takes the application's font again.
  Load("[Language]\r\n\"ID\" = \"0\"\r\n");
  EXPECT_EQ(Ok(first_.get())->text(), "OK");
  EXPECT_EQ(first_->font().family(), QApplication::font().family());
}

TEST(QtLanguageText, CrossesInTheInterfaceCodePage) {
  TStringsHolder strings;
  strings.LanguageID = 1049;
  EXPECT_EQ(InterfaceText("\xc4\xe0\r\n\xcd\xe5\xf2", strings), QString::fromUtf8("Да\nНет"));
  EXPECT_EQ(InterfaceBytes(QString::fromUtf8("Да\nНет"), strings), "\xc4\xe0\r\n\xcd\xe5\xf2");
  strings.LanguageID = 0;
  EXPECT_EQ(InterfaceText("caf\xe9", strings), QString::fromUtf8("café"));  // Windows-1252
}

}  // namespace
}  // namespace kessaro
