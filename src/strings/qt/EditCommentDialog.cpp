#include "strings/qt/EditCommentDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/CodePage.h"
#include "strings/qt/QtLanguage.h"

namespace kessaro {

namespace {

std::uint8_t CharsetOf(TLanguage language) {
  for (const TLangInfo& info : LanguageTable()) {
    if (info.LangID == language) return info.Charset;
  }
  return 1;
}

QString Text(TLanguage language, const std::string& bytes) {
  return QString::fromStdString(ToUtf8(language, bytes));
}

std::string Bytes(TLanguage language, const QString& text) {
  return FromUtf8(language, text.toStdString());
}

QLabel* Label(const char* name, const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

QPushButton* Button(const char* name, const char* text, QWidget* parent) {
  auto* button = new QPushButton(QString::fromLatin1(text), parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

}  // namespace

QFont DataFont(TLanguage language) {
  QFont font = QApplication::font();
  font.setFamily(InterfaceFontFamily(CharsetOf(language), kDefaultFontName));
  return font;
}

TStringSetLangEditDialog::TStringSetLangEditDialog(TStringSetLangEdit& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
  setObjectName("StringSetLangEdit");
  setWindowTitle(QString::fromStdString(logic_.Caption()));
  tree_ = new QTreeWidget(this);
  tree_->setObjectName("LangTree");
  tree_->setHeaderHidden(true);
  for (const std::string& name : TStringSetLangEdit::LanguageNames()) {
    new QTreeWidgetItem(tree_, {QString::fromStdString(name)});
  }
  memo_ = new QPlainTextEdit(this);
  memo_->setObjectName("Memo");
  memo_->setReadOnly(logic_.ReadOnly);
  auto* ok = Button("OKButton", "&OK", this);
  auto* cancel = Button("CancelButton", "&Cancel", this);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(tree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
    logic_.SetMemoText(Bytes(logic_.Language(), memo_->toPlainText()));
    logic_.NodeClicked(item->text(0).toStdString());
    ShowLanguage();
  });
  auto* layout = new QGridLayout(this);
  layout->addWidget(tree_, 0, 0);
  layout->addWidget(memo_, 0, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons, 1, 0, 1, 2);
  tree_->setCurrentItem(tree_->topLevelItem(0));
  ShowLanguage();
}

void TStringSetLangEditDialog::ShowLanguage() {
  memo_->setFont(DataFont(logic_.Language()));
  memo_->setPlainText(Text(logic_.Language(), logic_.MemoText()));
  memo_->setToolTip(QString::fromStdString(logic_.MemoHint()));
}

void TStringSetLangEditDialog::done(int result) {
  logic_.SetMemoText(Bytes(logic_.Language(), memo_->toPlainText()));
  QDialog::done(result);
}

TEditCommentDialog::TEditCommentDialog(TEditComment& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
  setObjectName("EditComment");
  setWindowTitle("Edit Comment");
  memo_ = new QPlainTextEdit(this);
  memo_->setObjectName("mmComment");
  language_ = new QComboBox(this);
  language_->setObjectName("cmbLanguage");
  for (const std::string& name : TEditComment::LanguageListNames()) {
    language_->addItem(QString::fromStdString(name));
  }
  source_ = new QComboBox(this);
  source_->setObjectName("cmbSource");
  add_ = Button("btnAddSource", "+", this);
  edit_ = Button("btnEditSource", "E", this);
  page_ = new QSpinBox(this);
  page_->setObjectName("sePage");
  page_->setRange(0, 0x7FFFFFFF);
  auto* ok = Button("btnOK", "OK", this);
  auto* cancel = Button("btnCancel", "Cancel", this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(memo_, 0, 0, 1, 6);
  grid->addWidget(Label("lbLanguage", "Language:", this), 1, 0);
  grid->addWidget(language_, 1, 1, 1, 5);
  grid->addWidget(Label("lbSource", "Source:", this), 2, 0);
  grid->addWidget(source_, 2, 1, 1, 3);
  grid->addWidget(add_, 2, 4);
  grid->addWidget(edit_, 2, 5);
  grid->addWidget(Label("lbPage", "Page:", this), 3, 0);
  grid->addWidget(page_, 3, 1);
  grid->addWidget(ok, 4, 4);
  grid->addWidget(cancel, 4, 5);

  connect(ok, &QPushButton::clicked, this, [this] {
    TakeMemo();
    accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(language_, &QComboBox::activated, this, [this](int position) {
    TakeMemo();
    logic_.LanguageChosen(position);
    Refresh();
  });
  connect(source_, &QComboBox::activated, this, [this](int index) {
    logic_.SourceChosen(index);
    Refresh();
  });
  connect(page_, &QSpinBox::valueChanged, this, [this](int value) {
    if (!refreshing_) logic_.SetPage(value);
  });
  auto runSourceEditor = [this](TStringSetLangEdit& editor) {
    TStringSetLangEditDialog dialog(editor, this);
    return dialog.exec() == QDialog::Accepted;
  };
  connect(add_, &QPushButton::clicked, this, [this] {
    logic_.AddSource();
    Refresh();
  });
  connect(edit_, &QPushButton::clicked, this, [this] {
    logic_.EditSource();
    Refresh();
  });
  if (!logic_.RunEditor) logic_.RunEditor = runSourceEditor;
  resize(420, 300);
  Refresh();
}

void TEditCommentDialog::TakeMemo() {
  logic_.SetMemoText(Bytes(logic_.Language(), memo_->toPlainText()));
}

void TEditCommentDialog::Refresh() {
  refreshing_ = true;
  memo_->setReadOnly(logic_.MemoReadOnly());
  memo_->setFont(DataFont(logic_.Language()));
  memo_->setPlainText(Text(logic_.Language(), logic_.MemoText()));
  language_->setCurrentIndex(logic_.LanguagePosition());
  source_->clear();
  for (const TEditComment::SourceItem& item : logic_.SourceItems()) {
    source_->addItem(Text(item.Language, item.Text));
    source_->setItemData(source_->count() - 1, DataFont(item.Language), Qt::FontRole);
  }
  source_->setCurrentIndex(logic_.SourceIndex() < source_->count() ? logic_.SourceIndex() : 0);
  if (source_->currentIndex() >= 0) {
    source_->setFont(
        DataFont(logic_.SourceItems()[static_cast<std::size_t>(source_->currentIndex())].Language));
  }
  page_->setValue(logic_.Page());
  add_->setEnabled(logic_.AddSourceEnabled());
  edit_->setEnabled(logic_.EditSourceEnabled());
  refreshing_ = false;
}

}  // namespace kessaro
