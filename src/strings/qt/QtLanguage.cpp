#include "strings/qt/QtLanguage.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QToolBar>
#include <QWidget>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/CodePage.h"

namespace kessaro {

namespace {

constexpr const char* kRadioGroupProperty = "kessaroRadioGroup";

// Families known to carry the glyphs of a character set, best first.
QStringList FallbackFamilies(std::uint8_t charset) {
  switch (charset) {
    case 128:  // Shift_JIS
    case 129:  // Hangul
    case 134:  // GB2312
    case 136:  // Big5
      return {"WenQuanYi Micro Hei", "Noto Sans CJK JP", "Droid Sans Fallback"};
    case 204:  // Cyrillic
      return {"DejaVu Sans", "Liberation Sans"};
    default:
      return {};
  }
}

// "short|long": the tool tip shows the short part, the status bar the long one.
void SetHintOf(QObject* object, const QString& hint) {
  const qsizetype bar = hint.indexOf('|');
  const QString shortHint = bar < 0 ? hint : hint.left(bar);
  const QString longHint = bar < 0 ? hint : hint.mid(bar + 1);
  if (auto* action = qobject_cast<QAction*>(object)) {
    action->setToolTip(shortHint);
    action->setStatusTip(longHint);
  } else if (auto* widget = qobject_cast<QWidget*>(object)) {
    widget->setToolTip(shortHint);
    widget->setStatusTip(longHint);
  }
}

QString HintOf(const QObject* object) {
  QString shortHint, longHint;
  if (auto* action = qobject_cast<const QAction*>(object)) {
    shortHint = action->toolTip();
    // An action without a tool tip of its own reports its text.
    if (shortHint == QString(action->text()).remove('&')) shortHint.clear();
    longHint = action->statusTip();
  } else if (auto* widget = qobject_cast<const QWidget*>(object)) {
    shortHint = widget->toolTip();
    longHint = widget->statusTip();
  }
  if (longHint.isEmpty() || longHint == shortHint) return shortHint;
  return shortHint + '|' + longHint;
}

QString ResolveFontFamily(std::uint8_t charset, const std::string& fontName) {
  const QString wanted = QString::fromStdString(fontName);
  const QStringList installed = QFontDatabase::families();
  auto has = [&installed](const QString& family) {
    return installed.contains(family, Qt::CaseInsensitive);
  };
  if (!wanted.isEmpty() && has(wanted)) {
    // An installed font is taken only when it covers the character set's script.
    const QFontDatabase::WritingSystem system = charset == 128   ? QFontDatabase::Japanese
                                                : charset == 129 ? QFontDatabase::Korean
                                                : charset == 134 ? QFontDatabase::SimplifiedChinese
                                                : charset == 136 ? QFontDatabase::TraditionalChinese
                                                : charset == 204 ? QFontDatabase::Cyrillic
                                                                 : QFontDatabase::Latin;
    if (QFontDatabase::writingSystems(wanted).contains(system)) return wanted;
  }
  for (const QString& family : FallbackFamilies(charset))
    if (has(family)) return family;
  return QApplication::font().family();
}

QList<QRadioButton*> RadioItems(QGroupBox* box) {
  return box->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
}

// One QObject seen as a named component; its children are wrapped on first use.
class QtComponent : public TLanguageComponent {
 public:
  QtComponent(QObject* object, const TStringsHolder& strings, bool isForm)
      : object_(object), strings_(strings), kind_(KindOf(object, isForm)) {}

  std::string Name() const override { return object_->objectName().toStdString(); }
  TComponentKind Kind() const override { return kind_; }

  std::string Caption() const override { return Bytes(QtCaption()); }
  void SetCaption(const std::string& text) override {
    const QString t = InterfaceText(text, strings_);
    if (kind_ == TComponentKind::Form) static_cast<QWidget*>(object_)->setWindowTitle(t);
    if (auto* a = qobject_cast<QAction*>(object_)) a->setText(t);
    if (auto* m = qobject_cast<QMenu*>(object_)) m->setTitle(t);
    if (auto* tb = qobject_cast<QToolBar*>(object_)) tb->setWindowTitle(t);
    if (auto* l = qobject_cast<QLabel*>(object_)) l->setText(t);
    if (auto* b = qobject_cast<QAbstractButton*>(object_)) b->setText(t);
    if (auto* g = qobject_cast<QGroupBox*>(object_)) g->setTitle(t);
  }

  std::string Hint() const override { return Bytes(HintOf(object_)); }
  void SetHint(const std::string& text) override {
    SetHintOf(object_, InterfaceText(text, strings_));
  }

  std::vector<std::string> Items() const override {
    std::vector<std::string> items;
    if (auto* combo = qobject_cast<QComboBox*>(object_))
      for (int i = 0; i < combo->count(); ++i) items.push_back(Bytes(combo->itemText(i)));
    if (auto* box = qobject_cast<QGroupBox*>(object_))
      for (QRadioButton* r : RadioItems(box)) items.push_back(Bytes(r->text()));
    return items;
  }
  // A combo box takes the lines as its items, keeping the selection's index where it can; a
  // radio group relabels the buttons it has.
  void SetItems(const std::vector<std::string>& items) override {
    if (auto* combo = qobject_cast<QComboBox*>(object_)) {
      const int current = combo->currentIndex();
      combo->clear();
      for (const std::string& item : items) combo->addItem(InterfaceText(item, strings_));
      if (current >= 0 && current < combo->count()) combo->setCurrentIndex(current);
    }
    if (auto* box = qobject_cast<QGroupBox*>(object_)) {
      const QList<QRadioButton*> buttons = RadioItems(box);
      for (qsizetype i = 0; i < buttons.size() && i < qsizetype(items.size()); ++i)
        buttons[i]->setText(InterfaceText(items[std::size_t(i)], strings_));
    }
  }

  bool HasOwnFont() const override {
    auto* widget = qobject_cast<QWidget*>(object_);
    return widget != nullptr && widget->testAttribute(Qt::WA_SetFont);
  }
  void SetFont(std::uint8_t charset, const std::string& fontName) override {
    auto* widget = qobject_cast<QWidget*>(object_);
    if (widget == nullptr) return;
    QFont font = widget->font();
    font.setFamilies({InterfaceFontFamily(charset, fontName)});
    widget->setFont(font);
  }

  int ChildCount() const override {
    Wrap();
    return static_cast<int>(children_.size());
  }
  TLanguageComponent* Child(int index) override {
    Wrap();
    return children_[std::size_t(index)].get();
  }

 private:
  static TComponentKind KindOf(const QObject* o, bool isForm) {
    if (isForm) return TComponentKind::Form;
    if (qobject_cast<const QAction*>(o)) return TComponentKind::Action;
    if (qobject_cast<const QMenu*>(o)) return TComponentKind::MenuItem;
    if (qobject_cast<const QToolBar*>(o)) return TComponentKind::Toolbar;
    if (qobject_cast<const QLabel*>(o)) return TComponentKind::Label;
    if (qobject_cast<const QRadioButton*>(o)) return TComponentKind::RadioButton;
    if (qobject_cast<const QCheckBox*>(o)) return TComponentKind::CheckBox;
    if (qobject_cast<const QAbstractButton*>(o)) return TComponentKind::Button;
    if (qobject_cast<const QComboBox*>(o)) return TComponentKind::ComboBox;
    if (qobject_cast<const QGroupBox*>(o))
      return o->property(kRadioGroupProperty).toBool() ? TComponentKind::RadioGroup
                                                       : TComponentKind::GroupBox;
    return TComponentKind::Other;
  }

  QString QtCaption() const {
    if (kind_ == TComponentKind::Form) return static_cast<QWidget*>(object_)->windowTitle();
    if (auto* a = qobject_cast<QAction*>(object_)) return a->text();
    if (auto* m = qobject_cast<QMenu*>(object_)) return m->title();
    if (auto* tb = qobject_cast<QToolBar*>(object_)) return tb->windowTitle();
    if (auto* l = qobject_cast<QLabel*>(object_)) return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(object_)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(object_)) return g->title();
    return {};
  }

  std::string Bytes(const QString& text) const { return InterfaceBytes(text, strings_); }

  // The inner widgets of a combo box (its list view and the like) carry no texts of ours.
  void Wrap() const {
    if (wrapped_) return;
    wrapped_ = true;
    if (kind_ == TComponentKind::ComboBox) return;
    for (QObject* child : object_->children())
      children_.push_back(std::make_unique<QtComponent>(child, strings_, false));
  }

  QObject* object_;
  const TStringsHolder& strings_;
  TComponentKind kind_;
  mutable bool wrapped_ = false;
  mutable std::vector<std::unique_ptr<QtComponent>> children_;
};

}  // namespace

QString InterfaceText(const std::string& bytes, const TStringsHolder& strings) {
  QString text = QString::fromStdString(ToUtf8(strings.LanguageID, bytes));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string InterfaceBytes(const QString& text, const TStringsHolder& strings) {
  QString crlf = text;
  crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  crlf.replace('\n', QStringLiteral("\r\n"));
  return FromUtf8(strings.LanguageID, crlf.toStdString());
}

QString InterfaceFontFamily(std::uint8_t charset, const std::string& fontName) {
  // The font database is slow to ask; a language asks the same question for every window.
  static std::map<std::pair<std::uint8_t, std::string>, QString> known;
  const auto key = std::make_pair(charset, fontName);
  if (const auto it = known.find(key); it != known.end()) return it->second;
  return known[key] = ResolveFontFamily(charset, fontName);
}

void ApplyLanguage(QWidget* window, bool atConstruction, TStringsHolder& strings) {
  if (window == nullptr) return;
  QtComponent form(window, strings, true);
  strings.ApplyLanguage(form, atConstruction);
}

void ApplyLanguageToAllWindows(TStringsHolder& strings) {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    const Qt::WindowType type = window->windowType();
    if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::Desktop) continue;
    ApplyLanguage(window, false, strings);
  }
}

void MarkRadioGroup(QGroupBox* box) {
  if (box != nullptr) box->setProperty(kRadioGroupProperty, true);
}

}  // namespace kessaro
