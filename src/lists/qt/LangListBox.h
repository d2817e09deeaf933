#pragma once
// The multilingual list box: owner-drawn lines of variable height, each text word-wrapped in the
// font of its own language and coloured by its style and the line's state.

#include <QFont>
#include <QListWidget>
#include <QString>
#include <string>

#include "lists/FontList.h"

namespace kessaro {

// A data text (bytes in its language's code page) for Qt.
QString DataText(TLanguage language, const std::string& bytes);
// The font of a language and style from a font list, with a family that has the glyphs.
QFont ListFont(const TFontList& list, TLanguage language, std::uint16_t style);
QColor ListColor(TColor color);

class TLangListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit TLangListBox(QWidget* parent = nullptr);

  int AddLine(const std::string& text, TLanguage language, std::uint16_t style);
  // A line already converted (its parts came from different code pages).
  int AddLine(const QString& text, TLanguage language, std::uint16_t style);
  void DeleteLine(int index);
  void ClearLines() { clear(); }
  int Count() const { return count(); }
  // The height a line takes at the current width (what the list draws it with).
  int LineHeight(int index) const;

  const TFontList* Fonts = &GeneralFontList();
  const TBrushList* Brushes = &GeneralBrushList();

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

}  // namespace kessaro
