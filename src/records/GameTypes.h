#pragma once
// The game record: header values, the multilingual information texts, the sources and the
// moves, and the enumeration through which every other unit addresses one piece of game
// information.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board/PointTypes.h"
#include "platform/DateTime.h"
#include "strings/StringSet.h"

namespace kessaro {

// An owned string set; null where a record allows "absent".
using PStringSet = std::unique_ptr<TStringSet>;

struct TSource {
  PStringSet Name;
  std::uint16_t Page = 0;
  std::uint8_t Dia = 0;  // diagram number
};
using TSources = std::vector<TSource>;

struct TGameInfo {
  PStringSet Analysis, GameName, GameComment, BlackPlayer, WhitePlayer, BlackRank, WhiteRank,
      BlackTeam, WhiteTeam, CopyRight, Event, Place, Round, Rules;
  TSources Sources;
  PStringSet Result, DateString, GameTime, SpentTime, OverTime, RecorderName;
};

constexpr std::int32_t kNoMoveTime = 0x7FFFFF;

struct TGameMove {
  std::uint16_t Point = kPassPoint;
  std::uint8_t Marks = 0;  // six bits carried with the move
  std::int32_t Time = kNoMoveTime;
  PStringSet Comment;
  std::uint32_t Reserved = 0;
};

// TGame.Flags
constexpr std::uint16_t kGameMovesCommented = 2;
constexpr std::uint16_t kGameMovesTimed = 4;
constexpr std::uint16_t kGameFromSgf = 16;
constexpr std::uint16_t kGameHasMoves = 64;

struct TGame {
  std::int32_t GameNo = 0;
  std::uint8_t BoardSize = 0;  // 0 = not known
  std::int8_t Handicap = 0;
  std::uint16_t NumberOfMoves = 0;
  std::uint8_t NumberOfFixedMoves = 0;
  std::uint8_t Charset = 0;
  std::uint16_t Flags = 0;
  TDateTime Date = 0;                                 // 0 to 2 inclusive: no numeric date
  std::int16_t Komi = 0;                              // hundredths of a point
  std::uint8_t BlackGameRank = 0, WhiteGameRank = 0;  // game-rank code
  std::uint8_t BlackBaseRank = 0, WhiteBaseRank = 0;  // base-rank code
  std::int32_t MovesOffset = 0;
  TGameInfo Info;
  // Raw stored information record of the source collection; empty = none. Never copied.
  std::vector<std::uint8_t> RawInfo;
  // Index 0 holds no move; moves 1 to NumberOfMoves when Flags has kGameHasMoves.
  std::vector<TGameMove> Moves;
};
// The game record owned by a tree root has the same layout.
using TGameRoot = TGame;

enum TGameInfoElement : std::uint16_t {
  GI_Empty,
  GI_Charset,
  GI_Analysis,
  GI_GameName,
  GI_GameComment,
  GI_Player,
  GI_BlackPlayer,
  GI_WhitePlayer,
  GI_Rank,
  GI_BlackRank,
  GI_WhiteRank,
  GI_CombyRank,
  GI_BlackCombyRank,
  GI_WhiteCombyRank,
  GI_GameRank,
  GI_BlackGameRank,
  GI_WhiteGameRank,
  GI_BaseRank,
  GI_BlackBaseRank,
  GI_WhiteBaseRank,
  GI_Players,
  GI_Black,
  GI_White,
  GI_Team,
  GI_BlackTeam,
  GI_WhiteTeam,
  GI_Result,
  GI_GameResult,
  GI_Event,
  GI_Place,
  GI_Round,
  GI_Rules,
  GI_Source,
  GI_SourceName,
  GI_SourcePage,
  GI_SourceDia,
  GI_Sources,
  GI_Date,
  GI_DateString,
  GI_DateNumeric,
  GI_GameTime,
  GI_SpentTime,
  GI_OverTime,
  GI_RecorderName,
  GI_TimeLimits,
  GI_LongComments,
  GI_Komi,
  GI_Handicap,
  GI_BoardSize,
  GI_NumberOfMoves,
  GI_NumberOfFixedMoves,
  GI_CopyRight,
  GI_GameType,
  GI_BlackGameType,
  GI_WhiteGameType,
};
constexpr int kGameInfoElementCount = GI_WhiteGameType + 1;

enum TGameInfoElementKind : std::uint8_t { ekNone, ekValue, ekText, ekComposite };

struct TGameInfoElementName {
  TGameInfoElement Element;
  std::string Name;  // empty: the element is never shown
};
using TGameInfoElementNames = std::array<TGameInfoElementName, kGameInfoElementCount>;

using TGameInfoElementOrder = std::vector<TGameInfoElement>;

}  // namespace kessaro
