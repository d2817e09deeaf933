#pragma once
// Game dates given as free text: a bare year, an ISO-like date, a day with an English month
// name, or numbers separated by slashes, dots or spaces.

#include <string>
#include <string_view>

#include "platform/DateTime.h"

namespace kessaro {

// Three parts joined by ".": day, month, year or year, month, day; "1900.01.01" when the text
// gives nothing.
std::string NormaliseDate(std::string_view text);
// The stored date value of a text; 0 when the text gives no date.
TDateTime DateFromText(std::string_view text);

}  // namespace kessaro
