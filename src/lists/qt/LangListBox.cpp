#include "lists/qt/LangListBox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>
#include <QStyledItemDelegate>

#include "platform/CodePage.h"
#include "strings/qt/QtLanguage.h"

namespace kessaro {

namespace {

constexpr int kLanguageRole = Qt::UserRole + 1;
constexpr int kStyleRole = Qt::UserRole + 2;
constexpr int kInset = 4;

int WrappedHeight(const QFont& font, const QString& text, int width) {
  QFontMetrics metrics(font);
  QRect bounds = metrics.boundingRect(QRect(0, 0, std::max(width, 1), 1 << 20),
                                      Qt::TextWordWrap | Qt::TextExpandTabs, text);
  return bounds.height();
}

class LineDelegate : public QStyledItemDelegate {
 public:
  explicit LineDelegate(TLangListBox* box) : QStyledItemDelegate(box), box_(box) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    bool selected = (option.state & QStyle::State_Selected) && box_->hasFocus();
    std::uint16_t state = selected ? kStateSelected : kStateNormal;
    auto language = static_cast<TLanguage>(index.data(kLanguageRole).toUInt());
    auto style = static_cast<std::uint16_t>(index.data(kStyleRole).toUInt());
    int brush = box_->Brushes->IndexOf(state);
    if (brush < 0) brush = box_->Brushes->IndexOf(kStateNormal);
    painter->save();
    if (auto color = box_->Brushes->Get(brush)) painter->fillRect(option.rect, ListColor(*color));
    painter->setFont(ListFont(*box_->Fonts, language, style));
    painter->setPen(ListColor(box_->Fonts->GetColor(state, style)));
    QRect text = option.rect.adjusted(kInset, kInset, -kInset, 0);
    painter->drawText(text, Qt::TextWordWrap | Qt::TextExpandTabs | Qt::AlignLeft | Qt::AlignTop,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const override {
    int width = LangListTextWidth(box_->viewport()->width());
    auto language = static_cast<TLanguage>(index.data(kLanguageRole).toUInt());
    auto style = static_cast<std::uint16_t>(index.data(kStyleRole).toUInt());
    QFont font = ListFont(*box_->Fonts, language, style);
    int height = WrappedHeight(font, index.data(Qt::DisplayRole).toString(), width);
    return {box_->viewport()->width(), LangListLineHeight(height)};
  }

 private:
  TLangListBox* box_;
};

}  // namespace

QString DataText(TLanguage language, const std::string& bytes) {
  return QString::fromStdString(ToUtf8(language, bytes));
}

QFont ListFont(const TFontList& list, TLanguage language, std::uint16_t style) {
  QFont font = QApplication::font();
  if (const TFontDesc* desc = list.GetFont(language, style)) {
    font.setFamily(InterfaceFontFamily(desc->Charset, desc->Name));
  }
  return font;
}

QColor ListColor(TColor color) {
  if ((color & 0xFF000000) == 0xFF000000) {
    const QPalette palette = QApplication::palette();
    switch (color) {
      case kSysWindow:
        return palette.color(QPalette::Base);
      case kSysHighlight:
        return palette.color(QPalette::Highlight);
      case kSysHighlightText:
        return palette.color(QPalette::HighlightedText);
      default:
        return palette.color(QPalette::Text);
    }
  }
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

TLangListBox::TLangListBox(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new LineDelegate(this));
  setWordWrap(true);
  setUniformItemSizes(false);
  setResizeMode(QListView::Adjust);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int TLangListBox::AddLine(const std::string& text, TLanguage language, std::uint16_t style) {
  return AddLine(DataText(language, text), language, style);
}

int TLangListBox::AddLine(const QString& text, TLanguage language, std::uint16_t style) {
  auto* item = new QListWidgetItem(text);
  item->setData(kLanguageRole, language);
  item->setData(kStyleRole, style);
  addItem(item);
  return count() - 1;
}

void TLangListBox::DeleteLine(int index) {
  if (index >= 0 && index < count()) delete takeItem(index);
}

int TLangListBox::LineHeight(int index) const {
  if (index < 0 || index >= count()) return 0;
  return itemDelegate()->sizeHint(QStyleOptionViewItem(), model()->index(index, 0)).height();
}

void TLangListBox::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  // Heights depend on the width: measure every line again.
  doItemsLayout();
}

}  // namespace kessaro
