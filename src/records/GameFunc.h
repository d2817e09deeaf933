#pragma once
// Operations on game records: life cycle, the text of every information element, rank codes
// and the symmetry transform of stored moves.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "records/GameTypes.h"

namespace kessaro {

// Zeroes the record, creates all twenty text sets and one source with an empty name.
void InitGame(TGame& game);
// Releases every text, source, move comment and the raw record, and zeroes the record.
void FreeGame(TGame& game);
// Deep copy of headers, texts, sources and (when the source has kGameHasMoves) the moves;
// dest's raw record is released and not copied, and dest keeps no moves of its own.
void CopyGame(const TGame& source, TGame& dest);

TGameInfoElementKind ElementKind(TGameInfoElement element);
// The text set behind a text element (GI_SourceName: the first source's name); null for other
// elements and for sets the record does not hold.
const TStringSet* ElementSet(const TGame& game, TGameInfoElement element);
// The owning field behind a text element, for filling a record; null for other elements.
PStringSet* ElementField(TGameInfo& info, TGameInfoElement element);

// The element's text in the preferred language, with that language (1033 for values).
TLangText ElementText(const TGame& game, TGameInfoElement element);
// The element's text in exactly that language.
std::string ElementTextIn(const TGame& game, TGameInfoElement element, TLanguage language);
// The best-ordered language among the texts, English aside; 0 when there is none.
TLanguage MainLanguage(const TGame& game);

std::string GameRankText(std::uint8_t code);   // "3 dan", "9 pro dan", "5 kyu", "NR"
std::string GameRankShort(std::uint8_t code);  // "3d", "9p", "5k*", "UR"
std::string BaseRankText(std::uint8_t code);
// 1 when b is the stronger rank, -1 when a is, 0 when equal.
int CompareGameRanks(std::uint8_t a, std::uint8_t b);

// Bit 0 swaps column and row, bit 1 mirrors the column, bit 2 the row, on a board of
// boardSize lines; points off that board are left alone on the axis concerned, passes always.
void TransformMoves(TGame& game, int flags, int boardSize);

// Font charset identifiers ("ANSI_CHARSET", "SHIFTJIS_CHARSET", ...); an unknown number gives
// "ANSI_CHARSET".
std::string CharsetIdentifier(int charset);
// The charset number of an identifier (exact, upper case); nothing when it is not one.
std::optional<std::uint8_t> CharsetFromIdentifier(std::string_view identifier);

// The element display names as first defined, and the live copy that the interface language
// may rename; everything that shows a name reads the live copy.
const TGameInfoElementNames& DefaultElementNames();
TGameInfoElementNames& ElementNames();
const std::string& ElementName(TGameInfoElement element);

// All elements of a game's information, and the default columns of a games list.
const TGameInfoElementOrder& FullElementOrder();
const TGameInfoElementOrder& ShortElementOrder();

// True when the value is a numeric date (outside 0 to 2, and finite).
bool HasNumericDate(TDateTime date);

}  // namespace kessaro
