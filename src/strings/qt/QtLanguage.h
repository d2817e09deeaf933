#pragma once
// The interface strings applied to Qt windows: a window's QObject children are the named
// components (object names matched without regard to letter case), texts cross to Qt in the
// code page of the interface language, and a language font without the glyphs of its
// character set is replaced by an installed family that has them.

#include <QString>
#include <cstdint>
#include <string>

#include "strings/StringsHolder.h"

class QGroupBox;
class QWidget;

namespace kessaro {

// Labels one window; atConstruction also registers its own texts as the defaults.
void ApplyLanguage(QWidget* window, bool atConstruction, TStringsHolder& strings = Strings());
// Labels every window of the application.
void ApplyLanguageToAllWindows(TStringsHolder& strings = Strings());

// A group box whose radio buttons are the items of one radio group (caption "|" items).
void MarkRadioGroup(QGroupBox* box);

// Table text (bytes in the interface code page, CR LF breaks) to Qt and back.
QString InterfaceText(const std::string& bytes, const TStringsHolder& strings = Strings());
std::string InterfaceBytes(const QString& text, const TStringsHolder& strings = Strings());

// The family to draw the interface in: the language's font name when installed, else one that
// has the glyphs of the character set, else the application's family.
QString InterfaceFontFamily(std::uint8_t charset, const std::string& fontName);

}  // namespace kessaro
