#include "records/GameFunc.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kessaro {
namespace {

struct ElementInfo {
  TGameInfoElementKind kind;
  const char* name;
};

constexpr std::array<ElementInfo, kGameInfoElementCount> kElements = {{
    {ekNone, ""},                        // GI_Empty
    {ekValue, "Charset"},                // GI_Charset
    {ekText, "Analyser"},                // GI_Analysis
    {ekText, "Game name"},               // GI_GameName
    {ekText, "Game comment"},            // GI_GameComment
    {ekNone, "Player"},                  // GI_Player
    {ekText, "Black player"},            // GI_BlackPlayer
    {ekText, "White player"},            // GI_WhitePlayer
    {ekNone, ""},                        // GI_Rank
    {ekText, "Black rank"},              // GI_BlackRank
    {ekText, "White rank"},              // GI_WhiteRank
    {ekNone, ""},                        // GI_CombyRank
    {ekComposite, "Black combi rank"},   // GI_BlackCombyRank
    {ekComposite, "White combi rank"},   // GI_WhiteCombyRank
    {ekNone, ""},                        // GI_GameRank
    {ekValue, "Black game rank"},        // GI_BlackGameRank
    {ekValue, "White game rank"},        // GI_WhiteGameRank
    {ekNone, ""},                        // GI_BaseRank
    {ekValue, "Black base rank"},        // GI_BlackBaseRank
    {ekValue, "White base rank"},        // GI_WhiteBaseRank
    {ekComposite, "Players"},            // GI_Players
    {ekComposite, "Black"},              // GI_Black
    {ekComposite, "White"},              // GI_White
    {ekNone, ""},                        // GI_Team
    {ekText, "Black team"},              // GI_BlackTeam
    {ekText, "White team"},              // GI_WhiteTeam
    {ekText, "Result"},                  // GI_Result
    {ekNone, "Result"},                  // GI_GameResult
    {ekText, "Event"},                   // GI_Event
    {ekText, "Place"},                   // GI_Place
    {ekText, "Round"},                   // GI_Round
    {ekText, "Rules"},                   // GI_Rules
    {ekComposite, "Source"},             // GI_Source
    {ekText, "Source Name"},             // GI_SourceName
    {ekValue, "Source Page"},            // GI_SourcePage
    {ekValue, "Source Dia"},             // GI_SourceDia
    {ekComposite, "Reference"},          // GI_Sources
    {ekComposite, "Date"},               // GI_Date
    {ekText, "Date string"},             // GI_DateString
    {ekValue, "Date numeric"},           // GI_DateNumeric
    {ekText, "Game time"},               // GI_GameTime
    {ekText, "Spent time"},              // GI_SpentTime
    {ekText, "Overtime"},                // GI_OverTime
    {ekText, "Recorder name"},           // GI_RecorderName
    {ekNone, ""},                        // GI_TimeLimits
    {ekNone, ""},                        // GI_LongComments
    {ekValue, "Komi"},                   // GI_Komi
    {ekValue, "Handicap"},               // GI_Handicap
    {ekValue, "Board size"},             // GI_BoardSize
    {ekValue, "Number of moves"},        // GI_NumberOfMoves
    {ekValue, "Fixed number of moves"},  // GI_NumberOfFixedMoves
    {ekText, "Copyright"},               // GI_CopyRight
    {ekNone, ""},                        // GI_GameType
    {ekValue, "Black rank group"},       // GI_BlackGameType
    {ekValue, "White rank group"},       // GI_WhiteGameType
}};

struct CharsetName {
  std::uint8_t charset;
  const char* name;
};

// The font charset constants of the platform the stored files come from.
constexpr CharsetName kCharsets[] = {
    {0, "ANSI_CHARSET"},      {1, "DEFAULT_CHARSET"},    {2, "SYMBOL_CHARSET"},
    {77, "MAC_CHARSET"},      {128, "SHIFTJIS_CHARSET"}, {129, "HANGEUL_CHARSET"},
    {130, "JOHAB_CHARSET"},   {134, "GB2312_CHARSET"},   {136, "CHINESEBIG5_CHARSET"},
    {161, "GREEK_CHARSET"},   {162, "TURKISH_CHARSET"},  {163, "VIETNAMESE_CHARSET"},
    {177, "HEBREW_CHARSET"},  {178, "ARABIC_CHARSET"},   {186, "BALTIC_CHARSET"},
    {204, "RUSSIAN_CHARSET"}, {222, "THAI_CHARSET"},     {238, "EASTEUROPE_CHARSET"},
    {255, "OEM_CHARSET"},
};

std::string Decimal(long long v) {
  return std::to_string(v);
}

// Komi in hundredths with the pattern "##0.0#": one or two decimals.
std::string KomiText(int komi) {
  const int a = komi < 0 ? -komi : komi;
  std::string s = komi < 0 ? "-" : "";
  s += Decimal(a / 100) + ".";
  const int frac = a % 100;
  if (frac % 10 == 0) {
    s += static_cast<char>('0' + frac / 10);
  } else {
    s += static_cast<char>('0' + frac / 10);
    s += static_cast<char>('0' + frac % 10);
  }
  return s;
}

TLangText Best(const TStringSet* set) {
  return set ? set->BestText() : TLangText{};
}

std::string TextIn(const TStringSet* set, TLanguage language) {
  return set ? set->GetText(language) : std::string();
}

TLanguage BestLanguageOf(const TStringSet* set) {
  return set ? set->BestLanguage() : kNoLanguage;
}

// ", p.12-3", or with exact ", p. 12-3".
std::string PageSuffix(bool exact, int page, int dia) {
  return (exact ? ", p. " : ", p.") + Decimal(page) + "-" + Decimal(dia);
}

std::string ValueText(const TGame& game, TGameInfoElement element) {
  switch (element) {
    case GI_Charset:
      return CharsetIdentifier(game.Charset);
    case GI_BlackGameRank:
      return GameRankText(game.BlackGameRank);
    case GI_WhiteGameRank:
      return GameRankText(game.WhiteGameRank);
    case GI_BlackBaseRank:
      return BaseRankText(game.BlackBaseRank);
    case GI_WhiteBaseRank:
      return BaseRankText(game.WhiteBaseRank);
    case GI_SourcePage:
      return game.Info.Sources.empty() ? std::string() : Decimal(game.Info.Sources[0].Page);
    case GI_SourceDia:
      return game.Info.Sources.empty() ? std::string() : Decimal(game.Info.Sources[0].Dia);
    case GI_DateNumeric:
      return HasNumericDate(game.Date) ? FormatIsoDate(game.Date) : std::string();
    case GI_Komi:
      return KomiText(game.Komi);
    case GI_Handicap:
      return Decimal(game.Handicap);
    case GI_BoardSize:
      return Decimal(game.BoardSize);
    case GI_NumberOfMoves:
      return Decimal(game.NumberOfMoves);
    case GI_NumberOfFixedMoves:
      return Decimal(game.NumberOfFixedMoves);
    default:
      return {};
  }
}

std::string ComboRank(const std::string& rank, std::uint8_t baseRank) {
  return rank.empty() ? "(" + BaseRankText(baseRank) + ")"
                      : rank + " (" + BaseRankText(baseRank) + ")";
}

std::string PlayerPart(const std::string& name, std::uint8_t gameRank) {
  return name.empty() ? GameRankShort(gameRank) : name + ", " + GameRankShort(gameRank);
}

std::string PlayersText(const std::string& black, const std::string& white, const TGame& game) {
  std::string s = PlayerPart(black, game.BlackGameRank) + " - ";
  if (!white.empty()) s += white + ", ";
  return s + GameRankShort(game.WhiteGameRank);
}

// The first source's name and page; inList selects the form of the reference list, which
// shows the page only beside a name.
std::string FirstSourceText(const TSource& source, const std::string& name, bool exact,
                            bool inList) {
  if (source.Page == 0 || (inList && name.empty())) return name;
  return name + PageSuffix(exact, source.Page, source.Dia);
}

std::string SourcesText(const TSources& sources, const std::string& first, TLanguage language,
                        bool exact) {
  std::string result = FirstSourceText(sources[0], first, exact, true);
  for (std::size_t i = 1; i < sources.size(); ++i) {
    const TSource& s = sources[i];
    std::string name = TextIn(s.Name.get(), language);
    if (name.empty()) name = TextIn(s.Name.get(), kEnglish);
    if (name.empty()) continue;
    if (s.Page != 0) name += PageSuffix(false, s.Page, s.Dia);
    if (!result.empty()) result += "; \r\n";
    result += name;
  }
  return result;
}

// The field of a text element, for a const or a writable record.
template <class Info>
auto FieldOf(Info& info, TGameInfoElement element) -> decltype(&info.Analysis) {
  switch (element) {
    case GI_Analysis:
      return &info.Analysis;
    case GI_GameName:
      return &info.GameName;
    case GI_GameComment:
      return &info.GameComment;
    case GI_BlackPlayer:
      return &info.BlackPlayer;
    case GI_WhitePlayer:
      return &info.WhitePlayer;
    case GI_BlackRank:
      return &info.BlackRank;
    case GI_WhiteRank:
      return &info.WhiteRank;
    case GI_BlackTeam:
      return &info.BlackTeam;
    case GI_WhiteTeam:
      return &info.WhiteTeam;
    case GI_Result:
      return &info.Result;
    case GI_Event:
      return &info.Event;
    case GI_Place:
      return &info.Place;
    case GI_Round:
      return &info.Round;
    case GI_Rules:
      return &info.Rules;
    case GI_SourceName:
      return info.Sources.empty() ? nullptr : &info.Sources[0].Name;
    case GI_DateString:
      return &info.DateString;
    case GI_GameTime:
      return &info.GameTime;
    case GI_SpentTime:
      return &info.SpentTime;
    case GI_OverTime:
      return &info.OverTime;
    case GI_RecorderName:
      return &info.RecorderName;
    case GI_CopyRight:
      return &info.CopyRight;
    default:
      return nullptr;
  }
}

}  // namespace

bool HasNumericDate(TDateTime date) {
  return std::isfinite(date) && !(date >= 0 && date <= 2);
}

void InitGame(TGame& game) {
  game = TGame{};
  TGameInfo& info = game.Info;
  for (PStringSet* field :
       {&info.Analysis,    &info.GameName,  &info.GameComment, &info.BlackPlayer,
        &info.WhitePlayer, &info.BlackRank, &info.WhiteRank,   &info.BlackTeam,
        &info.WhiteTeam,   &info.CopyRight, &info.Event,       &info.Place,
        &info.Round,       &info.Rules,     &info.Result,      &info.DateString,
        &info.GameTime,    &info.SpentTime, &info.OverTime,    &info.RecorderName})
    *field = std::make_unique<TStringSet>();
  info.Sources.resize(1);
  info.Sources[0].Name = std::make_unique<TStringSet>();
}

void FreeGame(TGame& game) {
  game = TGame{};
}

namespace {

PStringSet CopySet(const PStringSet& s) {
  return s ? std::make_unique<TStringSet>(*s) : nullptr;
}

}  // namespace

void CopyGame(const TGame& source, TGame& dest) {
  if (&source == &dest) return;
  TGame copy;
  copy.GameNo = source.GameNo;
  copy.BoardSize = source.BoardSize;
  copy.Handicap = source.Handicap;
  copy.NumberOfMoves = source.NumberOfMoves;
  copy.NumberOfFixedMoves = source.NumberOfFixedMoves;
  copy.Charset = source.Charset;
  copy.Flags = source.Flags;
  copy.Date = source.Date;
  copy.Komi = source.Komi;
  copy.BlackGameRank = source.BlackGameRank;
  copy.WhiteGameRank = source.WhiteGameRank;
  copy.BlackBaseRank = source.BlackBaseRank;
  copy.WhiteBaseRank = source.WhiteBaseRank;
  copy.MovesOffset = source.MovesOffset;
  const TGameInfo& from = source.Info;
  TGameInfo& to = copy.Info;
  to.Analysis = CopySet(from.Analysis);
  to.GameName = CopySet(from.GameName);
  to.GameComment = CopySet(from.GameComment);
  to.BlackPlayer = CopySet(from.BlackPlayer);
  to.WhitePlayer = CopySet(from.WhitePlayer);
  to.BlackRank = CopySet(from.BlackRank);
  to.WhiteRank = CopySet(from.WhiteRank);
  to.BlackTeam = CopySet(from.BlackTeam);
  to.WhiteTeam = CopySet(from.WhiteTeam);
  to.CopyRight = CopySet(from.CopyRight);
  to.Event = CopySet(from.Event);
  to.Place = CopySet(from.Place);
  to.Round = CopySet(from.Round);
  to.Rules = CopySet(from.Rules);
  to.Result = CopySet(from.Result);
  to.DateString = CopySet(from.DateString);
  to.GameTime = CopySet(from.GameTime);
  to.SpentTime = CopySet(from.SpentTime);
  to.OverTime = CopySet(from.OverTime);
  to.RecorderName = CopySet(from.RecorderName);
  for (const TSource& s : from.Sources) to.Sources.push_back({CopySet(s.Name), s.Page, s.Dia});
  if (source.Flags & kGameHasMoves) {
    // NumberOfMoves + 1 entries; a source shorter than its count gives passes for the rest.
    copy.Moves.resize(static_cast<std::size_t>(source.NumberOfMoves) + 1);
    for (std::size_t i = 0; i < copy.Moves.size() && i < source.Moves.size(); ++i) {
      const TGameMove& m = source.Moves[i];
      copy.Moves[i] = {m.Point, m.Marks, m.Time, CopySet(m.Comment), 0};
    }
  }
  dest = std::move(copy);
}

TGameInfoElementKind ElementKind(TGameInfoElement element) {
  const auto i = static_cast<std::size_t>(element);
  return i < kElements.size() ? kElements[i].kind : ekNone;
}

PStringSet* ElementField(TGameInfo& info, TGameInfoElement element) {
  return FieldOf(info, element);
}

const TStringSet* ElementSet(const TGame& game, TGameInfoElement element) {
  const PStringSet* field = FieldOf(game.Info, element);
  return field ? field->get() : nullptr;
}

TLangText ElementText(const TGame& game, TGameInfoElement element) {
  const TGameInfo& info = game.Info;
  switch (ElementKind(element)) {
    case ekNone:
      return {};
    case ekValue:
      return {kEnglish, ValueText(game, element)};
    case ekText:
      return Best(ElementSet(game, element));
    case ekComposite:
      break;
  }
  switch (element) {
    case GI_BlackCombyRank:
    case GI_WhiteCombyRank: {
      const bool black = element == GI_BlackCombyRank;
      const TLangText t = Best((black ? info.BlackRank : info.WhiteRank).get());
      return {t.Language, ComboRank(t.Text, black ? game.BlackBaseRank : game.WhiteBaseRank)};
    }
    case GI_Black:
    case GI_White: {
      const bool black = element == GI_Black;
      const TLangText n = Best((black ? info.BlackPlayer : info.WhitePlayer).get());
      return {n.Language, PlayerPart(n.Text, black ? game.BlackGameRank : game.WhiteGameRank)};
    }
    case GI_Players: {
      const TLanguage language = LanguageOrder().Better(BestLanguageOf(info.BlackPlayer.get()),
                                                        BestLanguageOf(info.WhitePlayer.get()));
      return {language, PlayersText(TextIn(info.BlackPlayer.get(), language),
                                    TextIn(info.WhitePlayer.get(), language), game)};
    }
    case GI_Source:
    case GI_Sources: {
      if (info.Sources.empty()) return {};
      const TLangText s = Best(info.Sources[0].Name.get());
      if (element == GI_Source)
        return {s.Language, FirstSourceText(info.Sources[0], s.Text, false, false)};
      return {s.Language, SourcesText(info.Sources, s.Text, s.Language, false)};
    }
    case GI_Date:
      if (HasNumericDate(game.Date)) return {kEnglish, FormatIsoDate(game.Date)};
      return Best(info.DateString.get());
    default:
      return {};
  }
}

std::string ElementTextIn(const TGame& game, TGameInfoElement element, TLanguage language) {
  const TGameInfo& info = game.Info;
  switch (ElementKind(element)) {
    case ekNone:
      return {};
    case ekValue:
      return ValueText(game, element);
    case ekText:
      return TextIn(ElementSet(game, element), language);
    case ekComposite:
      break;
  }
  switch (element) {
    case GI_BlackCombyRank:
      return ComboRank(TextIn(info.BlackRank.get(), language), game.BlackBaseRank);
    case GI_WhiteCombyRank:
      return ComboRank(TextIn(info.WhiteRank.get(), language), game.WhiteBaseRank);
    case GI_Black:
      return PlayerPart(TextIn(info.BlackPlayer.get(), language), game.BlackGameRank);
    case GI_White:
      return PlayerPart(TextIn(info.WhitePlayer.get(), language), game.WhiteGameRank);
    case GI_Players:
      return PlayersText(TextIn(info.BlackPlayer.get(), language),
                         TextIn(info.WhitePlayer.get(), language), game);
    case GI_Source:
    case GI_Sources: {
      if (info.Sources.empty()) return {};
      const std::string s = TextIn(info.Sources[0].Name.get(), language);
      if (element == GI_Source) return FirstSourceText(info.Sources[0], s, true, false);
      return SourcesText(info.Sources, s, language, true);
    }
    case GI_Date:
      if (HasNumericDate(game.Date)) return FormatIsoDate(game.Date);
      return TextIn(info.DateString.get(), language);
    default:
      return {};
  }
}

TLanguage MainLanguage(const TGame& game) {
  const TLanguageOrder& order = LanguageOrder();
  int best = -1;
  for (int e = 0; e < kGameInfoElementCount; ++e) {
    const auto element = static_cast<TGameInfoElement>(e);
    if (ElementKind(element) != ekText) continue;
    const int pos = order.IndexOf(BestLanguageOf(ElementSet(game, element)));
    if (pos > 0 && (best < 0 || pos < best)) best = pos;
  }
  return best < 0 ? kNoLanguage : order.Get(best);
}

std::string GameRankText(std::uint8_t code) {
  if (code == 0) return "Unknown";
  const int level = code & 63;
  if (level == 63) return "NR";
  std::string s = level == 0 ? "Unknown" : Decimal(level <= 9 ? 10 - level : level - 9);
  if (code & 0x40) s += "*";
  if (level <= 9) {
    s += (code & 0x80) ? " pro dan" : " dan";
  } else {
    if (code & 0x80) s += " pro";
    s += " kyu";
  }
  return s;
}

std::string GameRankShort(std::uint8_t code) {
  if (code == 0) return "UR";
  const int level = code & 63;
  if (level == 63) return "NR";
  std::string s = level == 0 ? "UR" : Decimal(level <= 9 ? 10 - level : level - 9);
  if (level >= 10) {
    if (code & 0x80) s += "p";
    s += "k";
  } else {
    s += (code & 0x80) ? "p" : "d";
  }
  if (code & 0x40) s += "*";
  return s;
}

std::string BaseRankText(std::uint8_t code) {
  if (code == 0) return "Unknown";
  const int level = code & 127;
  const bool pro = (code & 0x80) != 0;
  if (level == 1) return "NR";
  if (level >= 119) return Decimal(level - 118) + (pro ? " pro dan" : " dan");
  std::string s = level == 0 ? "Unknown" : Decimal(119 - level);
  if (pro) s += " pro";
  return s + " kyu";
}

int CompareGameRanks(std::uint8_t a, std::uint8_t b) {
  const auto key = [](std::uint8_t x) {
    return 2 * (64 - (x & 63)) + ((x & 0x40) ? 1 : 0) + ((x & 0x80) ? 128 : 0);
  };
  const int ka = key(a), kb = key(b);
  return ka > kb ? -1 : (ka < kb ? 1 : 0);
}

void TransformMoves(TGame& game, int flags, int boardSize) {
  const int m = boardSize - 1;
  const std::size_t last =
      std::min<std::size_t>(game.NumberOfMoves, game.Moves.empty() ? 0 : game.Moves.size() - 1);
  for (std::size_t i = 1; i <= last; ++i) {
    std::uint16_t& point = game.Moves[i].Point;
    if (point == kPassPoint) continue;
    int col = point & 0xFF, row = point >> 8;
    if ((flags & 1) && col <= m && row <= m) std::swap(col, row);
    if ((flags & 2) && col <= m) col = m - col;
    if ((flags & 4) && row <= m) row = m - row;
    point = static_cast<std::uint16_t>(col | (row << 8));
  }
}

std::string CharsetIdentifier(int charset) {
  for (const CharsetName& c : kCharsets)
    if (c.charset == charset) return c.name;
  return kCharsets[0].name;
}

std::optional<std::uint8_t> CharsetFromIdentifier(std::string_view identifier) {
  for (const CharsetName& c : kCharsets)
    if (identifier == c.name) return c.charset;
  if (identifier == "HANGUL_CHARSET") return 129;  // the platform's second name of 129
  return std::nullopt;
}

const TGameInfoElementNames& DefaultElementNames() {
  static const TGameInfoElementNames names = [] {
    TGameInfoElementNames n;
    for (std::size_t i = 0; i < n.size(); ++i)
      n[i] = {static_cast<TGameInfoElement>(i), kElements[i].name};
    return n;
  }();
  return names;
}

TGameInfoElementNames& ElementNames() {
  static TGameInfoElementNames live = DefaultElementNames();
  return live;
}

const std::string& ElementName(TGameInfoElement element) {
  static const std::string none;
  const auto i = static_cast<std::size_t>(element);
  return i < kGameInfoElementCount ? ElementNames()[i].Name : none;
}

const TGameInfoElementOrder& FullElementOrder() {
  static const TGameInfoElementOrder order = {
      GI_GameName,  GI_GameComment, GI_BlackPlayer, GI_BlackRank,     GI_BlackTeam, GI_WhitePlayer,
      GI_WhiteRank, GI_WhiteTeam,   GI_Result,      GI_Date,          GI_Handicap,  GI_Komi,
      GI_Event,     GI_Place,       GI_Round,       GI_Rules,         GI_GameTime,  GI_OverTime,
      GI_SpentTime, GI_Sources,     GI_BoardSize,   GI_NumberOfMoves, GI_CopyRight};
  return order;
}

const TGameInfoElementOrder& ShortElementOrder() {
  static const TGameInfoElementOrder order = {GI_BlackPlayer, GI_BlackRank,    GI_WhitePlayer,
                                              GI_WhiteRank,   GI_Result,       GI_Date,
                                              GI_Handicap,    GI_NumberOfMoves};
  return order;
}

}  // namespace kessaro
