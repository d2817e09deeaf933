#include "records/LoadSequence.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <filesystem>

#include "platform/CodePage.h"
#include "platform/UserHome.h"
#include "records/BoardFormFunc.h"
#include "records/DateReader.h"
#include "records/GameFunc.h"
#include "storage/FileMapping.h"
#include "storage/LogUnit.h"

namespace kessaro {
namespace {

constexpr std::size_t npos = static_cast<std::size_t>(-1);
constexpr TMoveWord kMoveNotRead = 0xFFFF;

bool IsWhitespace(std::uint8_t c) {
  return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}
bool IsLetter(std::uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The properties the reader knows, by the code it acts on. A table lists each code's short
// and long identifier in code order, which the static_asserts below hold it to.
enum TRootProperty : int {
  rpNone,
  rpCharset,
  rpApplication,
  rpAnalysis,
  rpGameName,
  rpGameComment,
  rpComment,
  rpPlayerBlack,
  rpPlayerWhite,
  rpBlackRank,
  rpWhiteRank,
  rpBlackTeam,
  rpWhiteTeam,
  rpResult,
  rpEvent,
  rpPlace,
  rpRound,
  rpRules,
  rpSource,
  rpDate,
  rpTime,
  rpGameTime,
  rpOverTime,
  rpUser,
  rpKomi,
  rpHandicap,
  rpSize,
  rpCopyright,
  rpFileFormat,
  rpGame,
  rpIdentifier,
  rpOpening,
  rpView,
  rpAddBlack,
  rpAddWhite,
  rpAddEmpty,
  rpBlack,
  rpWhite,
  rpCount
};

enum TNodeProperty : int {
  npNone,
  npBlack,
  npWhite,
  npBlackTimeLeft,
  npWhiteTimeLeft,
  npComment,
  npNodeName,
  npLabel,
  npTriangle,
  npAddBlack,
  npAddWhite,
  npAddEmpty,
  npTerritoryBlack,
  npTerritoryWhite,
  npCount
};

struct TPropertyName {
  int Code;
  std::string_view Short;
  std::string_view Long;
};

// Root properties.
constexpr TPropertyName kRootProperties[] = {
    {rpNone, "", ""},
    {rpCharset, "CA", "CHARSET"},
    {rpApplication, "AP", "APPLICATION"},
    {rpAnalysis, "AN", ""},
    {rpGameName, "GN", "GAMENAME"},
    {rpGameComment, "GC", "GAMECOMMENT"},
    {rpComment, "C", "COMMENT"},
    {rpPlayerBlack, "PB", "PLAYERBLACK"},
    {rpPlayerWhite, "PW", "PLAYERWHITE"},
    {rpBlackRank, "BR", "BLACKRANK"},
    {rpWhiteRank, "WR", "WHITERANK"},
    {rpBlackTeam, "BT", "BLACKTEAM"},
    {rpWhiteTeam, "WT", "WHITETEAM"},
    {rpResult, "RE", "RESULT"},
    {rpEvent, "EV", "EVENT"},
    {rpPlace, "PC", "PLACE"},
    {rpRound, "RO", "ROUND"},
    {rpRules, "RU", "RULES"},
    {rpSource, "SO", "SOURCE"},
    {rpDate, "DT", "DATE"},
    {rpTime, "TM", "TIME"},
    {rpGameTime, "GT", ""},
    {rpOverTime, "OT", "OVERTIME"},
    {rpUser, "US", "USER"},
    {rpKomi, "KM", "KOMI"},
    {rpHandicap, "HA", "HANDICAP"},
    {rpSize, "SZ", "SIZE"},
    {rpCopyright, "CP", "COPYRIGHT"},
    {rpFileFormat, "FF", "FILEFORMAT"},
    {rpGame, "GM", "GAME"},
    {rpIdentifier, "ID", ""},
    {rpOpening, "ON", ""},
    {rpView, "VW", "VIEW"},
    {rpAddBlack, "AB", "ADDBLACK"},
    {rpAddWhite, "AW", "ADDWHITE"},
    {rpAddEmpty, "AE", "ADDEMPTY"},
    {rpBlack, "B", "BLACK"},
    {rpWhite, "W", "WHITE"},
};

// Node properties.
constexpr TPropertyName kNodeProperties[] = {
    {npNone, "", ""},
    {npBlack, "B", "BLACK"},
    {npWhite, "W", "WHITE"},
    {npBlackTimeLeft, "BL", "BLACKTIMELEFT"},
    {npWhiteTimeLeft, "WL", "WHITETIMELEFT"},
    {npComment, "C", "COMMENT"},
    {npNodeName, "N", "NODE"},
    {npLabel, "LB", ""},
    {npTriangle, "TR", ""},
    {npAddBlack, "AB", "ADDBLACK"},
    {npAddWhite, "AW", "ADDWHITE"},
    {npAddEmpty, "AE", "ADDEMPTY"},
    {npTerritoryBlack, "TB", ""},
    {npTerritoryWhite, "TW", ""},
};

template <std::size_t N>
constexpr bool InCodeOrder(const TPropertyName (&table)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    if (table[i].Code != static_cast<int>(i)) return false;
  return true;
}
static_assert(std::size(kRootProperties) == rpCount && InCodeOrder(kRootProperties));
static_assert(std::size(kNodeProperties) == npCount && InCodeOrder(kNodeProperties));

// Identifiers are short: compared inline rather than through memcmp.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

template <std::size_t N>
int LookUp(const TPropertyName (&table)[N], std::string_view id) {
  for (std::size_t i = 0; i < N; ++i)
    if (SameName(id, table[i].Short)) return static_cast<int>(i);
  if (id.size() > 2)
    for (std::size_t i = 0; i < N; ++i)
      if (SameName(id, table[i].Long)) return static_cast<int>(i);
  return -1;
}

// A game is rejected by throwing this inside the parse of one block; it never leaves it.
struct TGameRejected {
  const char* Reason = "a property the game cannot have";
};

class TSgfScanner {
 public:
  TSgfScanner(const std::uint8_t* data, std::size_t size) : d_(data), n_(size) {}

  std::size_t Size() const { return n_; }
  std::uint8_t At(std::size_t p) const { return d_[p]; }
  const std::uint8_t* Data() const { return d_; }

  // A '(', ')', ';' or ']' right after a backslash is no token.
  bool Escaped(std::size_t p) const { return p > 0 && d_[p - 1] == '\\'; }

  // The first unescaped ']' at or after p.
  std::size_t ValueEnd(std::size_t p) const {
    // Most values are a point or a number: look at a few bytes before calling memchr.
    for (const std::size_t stop = std::min(n_, p + 8); p < stop; ++p)
      if (d_[p] == ']' && !Escaped(p)) return p;
    while (p < n_) {
      const void* hit = std::memchr(d_ + p, ']', n_ - p);
      if (!hit) return npos;
      const std::size_t q = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - d_);
      if (!Escaped(q)) return q;
      p = q + 1;
    }
    return npos;
  }

  std::size_t FindUnescaped(std::uint8_t token, std::size_t p) const {
    while (p < n_) {
      const void* hit = std::memchr(d_ + p, token, n_ - p);
      if (!hit) return npos;
      const std::size_t q = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - d_);
      if (!Escaped(q)) return q;
      p = q + 1;
    }
    return npos;
  }

  // The nearest of the structural tokens ; ( ) and the value opener [ in [p, limit).
  std::size_t NextToken(std::size_t p, std::size_t limit, bool withClose) const {
    for (; p < limit; ++p) {
      const std::uint8_t c = d_[p];
      if (c == '[') return p;
      if ((c == ';' || c == '(' || (withClose && c == ')')) && !Escaped(p)) return p;
    }
    return npos;
  }

  bool OnlyWhitespace(std::size_t from, std::size_t to) const {
    for (std::size_t p = from; p < to; ++p)
      if (!IsWhitespace(d_[p])) return false;
    return true;
  }

  // [from, bracket) holds an identifier: optional whitespace, letters, optional whitespace.
  // The identifier, upper-cased, goes to id when given.
  bool Identifier(std::size_t from, std::size_t bracket, std::string* id) const {
    std::size_t p = from;
    while (p < bracket && IsWhitespace(d_[p])) ++p;
    const std::size_t start = p;
    while (p < bracket && IsLetter(d_[p])) ++p;
    const std::size_t stop = p;
    while (p < bracket && IsWhitespace(d_[p])) ++p;
    if (stop == start || p != bracket) return false;
    if (!id) return true;
    id->assign(reinterpret_cast<const char*>(d_ + start), stop - start);
    for (auto& c : *id)
      if (c >= 'a') c = static_cast<char>(c - 'a' + 'A');  // letters only: a-z
    return true;
  }

  // The value bytes of [open+1, close): trimmed, double spaces reduced, "\]" turned into "]".
  // A value that needs none of that is returned as it stands in the file; otherwise the
  // processed bytes are built in scratch.
  std::string_view Value(std::size_t open, std::size_t close, std::string& scratch) const {
    std::size_t a = open + 1, b = close;
    while (a < b && d_[a] <= 32) ++a;
    while (b > a && d_[b - 1] <= 32) --b;
    const auto* begin = reinterpret_cast<const char*>(d_ + a);
    bool plain = true;
    for (std::size_t p = a; p < b && plain; ++p)
      plain = d_[p] != '\\' && !(d_[p] == ' ' && d_[p + 1] == ' ');
    if (plain) return {begin, b - a};
    scratch.clear();
    for (std::size_t p = a; p < b; ++p) {
      const char c = static_cast<char>(d_[p]);
      if (c == ' ' && !scratch.empty() && scratch.back() == ' ') continue;
      if (c == ']' && !scratch.empty() && scratch.back() == '\\') {
        scratch.back() = ']';
        continue;
      }
      scratch += c;
    }
    return scratch;
  }

 private:
  const std::uint8_t* d_;
  std::size_t n_;
};

// The validating scan for game blocks. Every '(' token a walk meets is remembered with its
// matching ')' (or as unmatched), and a walk that reaches a remembered '(' jumps over its
// subtree: a walk from a given '(' token always reads the same tokens, so the answer holds for
// every later walk. This keeps the search linear in the file size even when an unterminated
// game makes the scan resume inside it again and again.
class TBlockFinder {
 public:
  explicit TBlockFinder(const TSgfScanner& s) : s_(s) {}

  // A game whose text breaks the syntax: its '(' and the byte where the walk stopped.
  struct TBroken {
    std::size_t Open, At;
  };

  // The next game block at or after `from`: its '(' and its closing ')'. A game that the end
  // of the file cuts off is a block up to the end (close = size, `cut` set).
  bool Next(std::size_t& from, std::size_t& open, std::size_t& close, bool& cut) {
    cut = false;
    // What lies before `from` is never asked again unless a broken walk reached beyond it.
    if (from > reach_) match_.clear();
    while (from < s_.Size()) {
      const std::size_t p = s_.FindUnescaped('(', from);
      if (p == npos) return false;
      std::size_t t = p + 1;
      while (t < s_.Size() && IsWhitespace(s_.At(t))) ++t;
      if (t >= s_.Size() || s_.At(t) != ';') {
        from = p + 1;
        continue;
      }
      const auto known = match_.find(p);
      const std::size_t end = known != match_.end() ? known->second : Walk(p, t);
      if (end == npos) {
        if (known == match_.end() && lastFail_ >= s_.Size()) {
          open = p;
          close = s_.Size();
          from = s_.Size();
          cut = true;
          return true;
        }
        // A broken game is reported once, not again for each variation inside it.
        if (known == match_.end() && p >= brokenUntil_) {
          broken_.push_back({p, lastFail_});
          brokenUntil_ = lastFail_;
        }
        from = t + 1;  // inner variations of a broken game are tried as games of their own
        continue;
      }
      open = p;
      close = end;
      from = end + 1;
      return true;
    }
    return false;
  }

  // Broken games met since the last call, taken out.
  std::vector<TBroken> TakeBroken() { return std::exchange(broken_, {}); }

  // The ')' matching a '(' token of a block already found.
  std::size_t MatchOf(std::size_t open) const {
    const auto it = match_.find(open);
    return it == match_.end() ? npos : it->second;
  }

 private:
  std::size_t Walk(std::size_t open, std::size_t semicolon) {
    std::vector<std::size_t> stack{open};
    std::size_t cur = semicolon + 1;
    bool afterValue = false;
    auto fail = [&](std::size_t at) {
      for (std::size_t q : stack) match_[q] = npos;
      reach_ = std::max(reach_, at);
      lastFail_ = at;
      return npos;
    };
    while (true) {
      const std::size_t q = s_.NextToken(cur, s_.Size(), true);
      if (q == npos) return fail(s_.Size());
      const std::uint8_t c = s_.At(q);
      if (c == '[') {
        if (!afterValue && !s_.Identifier(cur, q, nullptr)) return fail(q);
        const std::size_t e = s_.ValueEnd(q + 1);
        if (e == npos) return fail(s_.Size());
        cur = e + 1;
        afterValue = true;
        continue;
      }
      if (!s_.OnlyWhitespace(cur, q)) return fail(q);
      afterValue = false;
      cur = q + 1;
      if (c == '(') {
        const auto known = match_.find(q);
        if (known == match_.end()) {
          stack.push_back(q);
        } else if (known->second == npos) {
          return fail(q);
        } else {
          cur = known->second + 1;
        }
      } else if (c == ')') {
        match_[stack.back()] = q;
        stack.pop_back();
        if (stack.empty()) return q;
      }
    }
  }

  const TSgfScanner& s_;
  std::unordered_map<std::size_t, std::size_t> match_;
  std::size_t reach_ = 0;  // the farthest point a broken walk reached
  std::size_t lastFail_ = 0;
  std::size_t brokenUntil_ = 0;
  std::vector<TBroken> broken_;
};

class TGameParser {
 public:
  TGameParser(const TSgfScanner& s, const TBlockFinder& blocks, int options, const TSgfLog& log)
      : s_(s), blocks_(blocks), options_(options), log_(log) {}

  // The length of the last game's root comment before it was cut, or 0.
  std::size_t CommentCut() const { return commentCut_; }

  // Parses the block [open, close] into root (a zeroed record); a block that the end of the
  // file cut off (`cut`) keeps what was read before the end. Throws TGameRejected.
  void Parse(TSequence* root, std::size_t open, std::size_t close, bool cut) {
    cut_ = cut;
    commentCut_ = 0;
    rootComment_.clear();
    charsetName_.clear();
    std::size_t start = open + 1;
    while (IsWhitespace(s_.At(start))) ++start;
    ++start;  // the ';' of the root node

    auto data = std::make_unique<TGameRootData>();
    game_ = &data->GameRecord;
    root->Data = data.release();
    root->Kind = skGameRoot;
    root->Point = kNoMove;
    root->MoveNumber = kNoMoveNumber;
    nextBracket_ = 0;

    // The root node ends at the first ';' or '(' outside values.
    std::size_t end = npos;
    for (std::size_t p = start; p < close;) {
      const std::size_t q = s_.NextToken(p, close, false);
      if (q == npos) break;
      if (s_.At(q) != '[') {
        end = q;
        break;
      }
      const std::size_t e = s_.ValueEnd(q + 1);
      if (e == npos) throw TGameRejected{"the file ends inside the game information"};
      p = e + 1;
    }
    if (end == npos) throw TGameRejected{"the game has no moves"};
    FindCharset(start, end);
    ReadRootProperties(root, start, end);
    if (s_.At(end) == ';') ++end;

    TSequence* first = AddNode(root, kMoveNotRead, std::string(), skPathNode, root->Data, {});
    ParseSequences(first, end, close);

    if (game_->BoardSize == 0) game_->BoardSize = 19;
    CheckPoints(root, game_->BoardSize);
    SetRootComment();

    std::size_t moves = 0;
    for (const TSequence* n = root->FirstChild; n; n = n->FirstChild) ++moves;
    game_->NumberOfMoves = static_cast<std::uint16_t>(std::min<std::size_t>(moves, 0xFFFF));
    if (game_->BoardSize == 0) game_->BoardSize = 19;
    game_->Flags = kGameFromSgf;
  }

 private:
  struct TFrame {
    TSequence* node;
    std::size_t cur, end;
    std::string lastId;
    TSequence* lastVariation = nullptr;
  };

  std::size_t NextBracket(std::size_t from) {
    if (nextBracket_ != npos && nextBracket_ < from) {
      const void* hit =
          from < s_.Size() ? std::memchr(s_.Data() + from, '[', s_.Size() - from) : nullptr;
      nextBracket_ =
          hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - s_.Data()) : npos;
    }
    return nextBracket_;
  }

  void LogUnknown(const std::string& id, std::string_view value) {
    if (log_) log_("Unknown Tag: " + id + "[" + std::string(value) + "]", false);
  }

  std::uint16_t ParsePoint(std::string_view v) const {
    if (v.empty()) return kNoMove;
    if (v.size() != 2 || v[0] < 'a' || v[0] > 'z' || v[1] < 'a' || v[1] > 'z')
      throw TGameRejected{"a point that is not two letters"};
    return static_cast<std::uint16_t>((v[0] - 'a') | ((v[1] - 'a') << 8));
  }

  // Moves and setup points must lie on the board; a move "tt" on a board of 19 lines or
  // fewer is the older form of a pass. Walked without recursion.
  static void CheckPoints(TSequence* root, int boardSize) {
    constexpr std::uint16_t kTT = 19 | (19 << 8);
    const auto onBoard = [boardSize](std::uint16_t p) {
      return IsNoMove(p) || ((p & 0xFF) < boardSize && (p >> 8) < boardSize);
    };
    std::vector<TSequence*> stack{root};
    while (!stack.empty()) {
      TSequence* n = stack.back();
      stack.pop_back();
      if (n != root && n->Point != kMoveNotRead) {
        if (boardSize <= 19 && n->Point == kTT) n->Point = kNoMove;
        if (!onBoard(n->Point)) throw TGameRejected{"a move outside the board"};
      }
      for (const auto& setup : n->Setup)
        if (!onBoard(setup.Point)) throw TGameRejected{"a stone placed outside the board"};
      for (TSequence* c = n->FirstChild; c; c = c->NextSibling) stack.push_back(c);
    }
  }

  // The character set the root's CA names, looked up before the other properties are read,
  // so that every text of the game is converted alike. A Windows charset name is left to
  // the CA property itself.
  void FindCharset(std::size_t start, std::size_t end) {
    std::string lastId, id, scratch;
    for (std::size_t cur = start;;) {
      const std::size_t q = s_.NextToken(cur, end, false);
      if (q == npos || s_.At(q) != '[') return;
      if (s_.Identifier(cur, q, &id)) lastId = id;
      const std::size_t e = s_.ValueEnd(q + 1);
      if (e == npos) return;
      cur = e + 1;
      if (lastId != "CA" && lastId != "CHARSET") continue;
      const std::string value(s_.Value(q, e, scratch));
      std::string upper = value;
      for (auto& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (!CharsetFromIdentifier(upper) && IsKnownCharset(value)) charsetName_ = value;
      return;
    }
  }

  // A text value as the game keeps it: converted to UTF-8 when CA named a character set.
  std::string Text(std::string_view v) const {
    if (charsetName_.empty()) return std::string(v);
    return CharsetToUtf8(charsetName_, v).value_or(std::string(v));
  }

  // The root comment, cut at a character boundary when it is too long for a text.
  void SetRootComment() {
    if (rootComment_.empty()) return;
    std::string& text = rootComment_;
    if (text.size() > kMaxRootComment) {
      commentCut_ = text.size();
      text.resize(CharacterBoundary(text, kMaxRootComment));
    }
    PStringSet& field = game_->Info.GameComment;
    if (!field) field = std::make_unique<TStringSet>();
    field->SetText(kNoLanguage, text);
  }

  // The largest length <= limit that ends at a character boundary of the game's text.
  std::size_t CharacterBoundary(const std::string& text, std::size_t limit) const {
    const auto* b = reinterpret_cast<const std::uint8_t*>(text.data());
    const int charset = charsetName_.empty() ? game_->Charset : 0;
    // Double-byte sets: walk the characters from the start.
    const bool sjis = charset == 128;
    if (sjis || charset == 129 || charset == 134 || charset == 136) {
      std::size_t p = 0;
      while (p < limit) {
        const std::uint8_t c = b[p];
        const bool lead =
            sjis ? (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC) : c >= 0x81 && c <= 0xFE;
        const std::size_t width = lead ? 2 : 1;
        if (p + width > limit) break;
        p += width;
      }
      return p;
    }
    // UTF-8 (and single-byte sets, where the back-off never passes a plain byte): never
    // end inside a multi-byte sequence.
    std::size_t p = limit;
    while (p > 0 && p > limit - 4 && (b[p] & 0xC0) == 0x80) --p;
    return p;
  }

  static bool ParseInt(std::string_view v, long long& out) {
    const char* b = v.data();
    const char* e = b + v.size();
    if (b != e && *b == '+') ++b;
    const auto r = std::from_chars(b, e, out);
    return r.ec == std::errc() && r.ptr == e && b != e;
  }

  void SetText(PStringSet& field, const std::string& value) {
    if (!field) field = std::make_unique<TStringSet>();
    field->SetText(kNoLanguage, Text(value));
  }

  // GC and C of the root gather here; SetRootComment stores them once the game is read.
  void AppendGameComment(const std::string& value) {
    const std::string text = Text(value);
    if (!rootComment_.empty()) rootComment_ += "\r\n";
    rootComment_ += text;
  }

  void ReadRootProperties(TSequence* root, std::size_t start, std::size_t end) {
    std::string lastId, id;
    std::size_t cur = start;
    while (true) {
      const std::size_t q = s_.NextToken(cur, end, false);
      if (q == npos || s_.At(q) != '[') return;
      if (s_.Identifier(cur, q, &id)) lastId = id;
      const std::size_t e = s_.ValueEnd(q + 1);
      if (e == npos) throw TGameRejected{};
      cur = e + 1;
      const std::string value(s_.Value(q, e, scratch_));
      const int code = LookUp(kRootProperties, lastId);
      if (code < 0) {
        LogUnknown(lastId, value);
        continue;
      }
      if (options_ & IgnoreGameInfo) continue;
      if ((options_ & IgnoreComments) && code == rpComment) continue;
      ApplyRootProperty(root, code, value);
    }
  }

  void ApplyRootProperty(TSequence* root, int code, const std::string& v) {
    TGameInfo& info = game_->Info;
    long long number = 0;
    switch (code) {
      case rpCharset: {
        std::string upper = v;
        for (auto& c : upper)
          if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        game_->Charset = CharsetFromIdentifier(upper).value_or(0);
        break;
      }
      case rpAnalysis:
        SetText(info.Analysis, v);
        break;
      case rpGameName:
        SetText(info.GameName, v);
        break;
      case rpGameComment:
      case rpComment:
        AppendGameComment(v);
        break;
      case rpPlayerBlack:
        SetText(info.BlackPlayer, v);
        break;
      case rpPlayerWhite:
        SetText(info.WhitePlayer, v);
        break;
      case rpBlackRank:
        SetText(info.BlackRank, v);
        break;
      case rpWhiteRank:
        SetText(info.WhiteRank, v);
        break;
      case rpBlackTeam:
        SetText(info.BlackTeam, v);
        break;
      case rpWhiteTeam:
        SetText(info.WhiteTeam, v);
        break;
      case rpResult:
        SetText(info.Result, v);
        break;
      case rpEvent:
        SetText(info.Event, v);
        break;
      case rpPlace:
        SetText(info.Place, v);
        break;
      case rpRound:
        SetText(info.Round, v);
        break;
      case rpRules:
        SetText(info.Rules, v);
        break;
      case rpSource:
        if (!info.Sources.empty()) SetText(info.Sources.front().Name, v);
        break;
      case rpDate:
        game_->Date = DateFromText(v);
        SetText(info.DateString, v);
        break;
      case rpTime:
      case rpGameTime:
        SetText(info.GameTime, v);
        break;
      case rpOverTime:
        SetText(info.OverTime, v);
        break;
      case rpUser:
        SetText(info.RecorderName, v);
        break;
      case rpKomi:
        SetKomi(v);
        break;
      case rpHandicap:
        if (ParseInt(v, number))
          game_->Handicap = static_cast<std::int8_t>(static_cast<std::uint8_t>(number));
        break;
      case rpSize:
        if (ParseInt(v, number)) game_->BoardSize = static_cast<std::uint8_t>(number);
        break;
      case rpCopyright:
        SetText(info.CopyRight, v);
        break;
      case rpGame:
        if (v != "1") {
          if (log_) log_("The game recorded in file not Go game", false);
          throw TGameRejected{"not a game of Go"};
        }
        break;
      case rpAddBlack:
        root->Setup.push_back({ParsePoint(v), kCellBlack});
        break;
      case rpAddWhite:
        root->Setup.push_back({ParsePoint(v), kCellWhite});
        break;
      case rpAddEmpty:
        root->Setup.push_back({ParsePoint(v), kCellEmpty});
        break;
      case rpBlack:
      case rpWhite:
        throw TGameRejected{"a move in the root node"};
      default:
        break;  // ignored properties
    }
  }

  // Komi in hundredths, halves rounded to even; a text that is no number keeps the komi.
  void SetKomi(std::string v) {
    for (auto& c : v)
      if (c == ',') c = '.';
    double x = 0;
    const char* b = v.data();
    const char* e = b + v.size();
    if (b != e && *b == '+') ++b;
    const auto r = std::from_chars(b, e, x);
    if (r.ec != std::errc() || r.ptr != e || b == e) return;
    const double hundredths = std::nearbyint(x * 100.0);
    if (!std::isfinite(hundredths) || std::fabs(hundredths) > 1e15) return;
    game_->Komi =
        static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<long long>(hundredths)));
  }

  static void AppendLine(std::string& text, std::string_view line) {
    if (!text.empty()) text += "\r\n";
    text += line;
  }

  void ApplyNodeProperty(TSequence* node, int code, std::string_view v) {
    long long number = 0;
    switch (code) {
      case npBlack:
      case npWhite: {
        const std::uint16_t p = ParsePoint(v);
        if (node->Point != kMoveNotRead) throw TGameRejected{"two moves in one node"};
        node->Point = p;
        if (code == npBlack) node->Flags |= sfBlack;
        break;
      }
      case npBlackTimeLeft:
        if ((node->Point == kMoveNotRead || (node->Flags & sfBlack)) && ParseInt(v, number))
          node->MoveNumber = static_cast<std::int32_t>(number);
        break;
      case npWhiteTimeLeft:
        if (!(node->Point != kMoveNotRead && (node->Flags & sfBlack)) && ParseInt(v, number))
          node->MoveNumber = static_cast<std::int32_t>(number);
        break;
      case npComment:
        AppendLine(node->Comment, v);
        break;
      case npNodeName:
        node->NodeName = v;
        break;
      case npLabel:
        AppendLine(node->Comment, "LB[" + std::string(v) + "]");
        break;
      case npTriangle:
        AppendLine(node->Comment, "TR[" + std::string(v) + "]");
        break;
      case npAddBlack:
        node->Setup.push_back({ParsePoint(v), kCellBlack});
        break;
      case npAddWhite:
        node->Setup.push_back({ParsePoint(v), kCellWhite});
        break;
      case npAddEmpty:
        node->Setup.push_back({ParsePoint(v), kCellEmpty});
        break;
      default:
        break;
    }
  }

  // The node sequence starting in `first` at `start` up to the block's end, with its
  // variations, walked with an explicit stack of open variations.
  void ParseSequences(TSequence* first, std::size_t start, std::size_t close) {
    std::vector<TFrame> frames;
    frames.push_back({first, start, close, std::string()});
    std::string id;
    while (!frames.empty()) {
      TFrame& f = frames.back();
      const std::size_t bracket = NextBracket(f.cur);
      if (bracket == npos || bracket >= f.end) {
        FinishFrame(frames);
        continue;
      }
      const std::size_t q = s_.NextToken(f.cur, bracket + 1, false);
      const std::uint8_t c = s_.At(q);
      if (c == '[') {
        if (s_.Identifier(f.cur, q, &id)) f.lastId = id;
        const std::size_t e = s_.ValueEnd(q + 1);
        if (e == npos && !cut_) throw TGameRejected{"a value without its closing bracket"};
        if (e == npos || e >= f.end) {
          // A value the end of a cut file broke off is lost; its node keeps what it had.
          FinishFrame(frames);
          continue;
        }
        f.cur = e + 1;
        std::string_view value = s_.Value(q, e, scratch_);
        const int code = LookUp(kNodeProperties, f.lastId);
        if (code < 0) {
          LogUnknown(f.lastId, value);
          continue;
        }
        if ((options_ & IgnoreComments) && code == npComment) continue;
        std::string converted;
        if (!charsetName_.empty() && (code == npComment || code == npNodeName)) {
          converted = Text(value);
          value = converted;
        }
        ApplyNodeProperty(f.node, code, value);
        continue;
      }
      if (!s_.OnlyWhitespace(f.cur, q)) throw TGameRejected{"text outside a property value"};
      f.lastId.clear();
      if (c == ';') {
        if (f.node->Point == kMoveNotRead) {
          if (!(options_ & EmptyNodeAsPass)) throw TGameRejected{"a node without a move"};
          f.node->Point = kNoMove;
        }
        f.node = AddNode(f.node, kMoveNotRead, std::string(), f.node->Kind, f.node->Data, {});
        f.lastVariation = nullptr;
        f.cur = q + 1;
        continue;
      }
      // A variation: its first node goes under the current node, after its other children.
      std::size_t end = blocks_.MatchOf(q);
      if (end == npos && cut_) end = f.end;  // a variation the end of the file cut off
      if (end == npos || (end >= f.end && !cut_))
        throw TGameRejected{"a variation without its closing parenthesis"};
      if (frames.size() >= static_cast<std::size_t>(kMaxVariationDepth))
        throw TGameRejected{"variations nested deeper than 10000"};
      TSequence* last = f.lastVariation;
      if (!last || last->ParentNode != f.node || last->NextSibling) {
        last = f.node->FirstChild;
        while (last && last->NextSibling) last = last->NextSibling;
      }
      TSequence* node =
          last ? AddNodeAfter(last, kMoveNotRead, std::string(), f.node->Kind, f.node->Data, {})
               : AddNode(f.node, kMoveNotRead, std::string(), f.node->Kind, f.node->Data, {});
      f.lastVariation = node;
      f.cur = end + 1;
      std::size_t inner = q + 1;
      std::size_t t = inner;
      while (t < end && IsWhitespace(s_.At(t))) ++t;
      if (t < end && s_.At(t) == ';') inner = t + 1;
      frames.push_back({node, inner, end, std::string()});
    }
  }

  // A finished sequence drops a last node that never got a move; its children take its place.
  static void FinishFrame(std::vector<TFrame>& frames) {
    TSequence* node = frames.back().node;
    if (node->Point == kMoveNotRead) {
      // The enclosing sequence must not keep the released node as its last variation.
      if (frames.size() > 1 && frames[frames.size() - 2].lastVariation == node)
        frames[frames.size() - 2].lastVariation = nullptr;
      ReleaseNode(node);
    }
    frames.pop_back();
  }

  const TSgfScanner& s_;
  const TBlockFinder& blocks_;
  int options_;
  const TSgfLog& log_;
  bool cut_ = false;
  std::size_t commentCut_ = 0;  // the length of a root comment that was cut, else 0
  std::string rootComment_;
  std::string charsetName_;  // a character set CA named that is no Windows charset
  TGame* game_ = nullptr;
  std::size_t nextBracket_ = 0;
  std::string scratch_;  // processed values that differ from the file's bytes
};

}  // namespace

std::vector<std::string> TSgfReport::Lines() const {
  std::vector<std::pair<std::size_t, std::string>> lines;
  const auto head = [](const TSgfReportEntry& e) {
    return "game " + std::to_string(e.Game) + " (byte " + std::to_string(e.Offset) + ")";
  };
  for (const auto& e : Rejected) lines.emplace_back(e.Game, head(e) + " rejected: " + e.Reason);
  for (const auto& e : Changed) lines.emplace_back(e.Game, head(e) + ": " + e.Reason);
  std::stable_sort(lines.begin(), lines.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (auto& l : lines) out.push_back(std::move(l.second));
  return out;
}

bool LoadGamesFromBytes(TSequence* First, const std::uint8_t* data, std::size_t size, int options,
                        const TSgfLog& log, TSgfReport* report) {
  if (!First) return false;
  ClearRoot(First);
  *First = TSequence();
  try {
    const TSgfScanner scanner(data, size);
    TBlockFinder blocks(scanner);
    TGameParser parser(scanner, blocks, options, log);
    TSequence* last = nullptr;
    std::size_t from = 0, open = 0, close = 0, game = 0;
    bool cut = false;
    // Broken games are numbered among the others in the order of their '('.
    const auto takeBroken = [&](std::size_t before) {
      for (const auto& b : blocks.TakeBroken()) {
        if (b.Open > before) continue;
        ++game;
        const std::string reason = "unreadable text at byte " + std::to_string(b.At);
        if (report) report->Rejected.push_back({game, b.Open, reason});
      }
    };
    while (blocks.Next(from, open, close, cut)) {
      takeBroken(open);
      ++game;
      TSequence* target = last ? new TSequence : First;
      try {
        parser.Parse(target, open, close, cut);
        if (last) last->NextSibling = target;
        last = target;
        if (report && cut)
          report->Changed.push_back(
              {game, open, "the file ends inside the game; the moves before the end are kept"});
        if (report && parser.CommentCut() != 0)
          report->Changed.push_back({game, open,
                                     "root comment of " + std::to_string(parser.CommentCut()) +
                                         " bytes cut to " + std::to_string(kMaxRootComment) +
                                         " bytes or fewer"});
      } catch (const TGameRejected& rejected) {
        if (report) report->Rejected.push_back({game, open, rejected.Reason});
        ClearRoot(target);
        if (target == First) {
          *First = TSequence();
        } else {
          delete target;
        }
      }
    }
    takeBroken(size);
  } catch (const std::exception& e) {
    if (log) {
      log(std::string(), true);
      log(e.what(), false);
    }
    return false;
  }
  return true;
}

bool LoadGamesFromFile(TSequence* First, const std::string& fileName, int options, TLoger* log,
                       TSgfReport* report) {
  if (!First) return false;
  ClearRoot(First);
  *First = TSequence();
  LogLine(log, std::string(), true);
  LogLine(log, "Loading file: " + fileName);
  TMap map;
  if (!map.Open(fileName) || map.FileSize() < 4 || !map.View()) {
    LogLine(log, "File couldn't be opened");
    return false;
  }
  const bool ok = LoadGamesFromBytes(
      First, map.View(), map.FileSize(), options,
      [log](const std::string& text, bool withTime) { LogLine(log, text, withTime); }, report);
  if (!ok && log) log->Flush();
  return ok;
}

namespace {

// One log for the reader, in the user home, opened on first use and closed at exit.
TLoger& HomeLog() {
  static TLoger log([] {
    std::error_code ec;
    std::filesystem::create_directories(UserHomeDir(), ec);
    return UserHomePath("GameLoad.log");
  }());
  return log;
}

}  // namespace

bool LoadGamesFromFile(TSequence* First, const std::string& fileName, int options) {
  return LoadGamesFromFile(First, fileName, options, &HomeLog(), nullptr);
}

bool LoadGamesFromFile(TSequence* First, const std::string& fileName, int options,
                       TSgfReport& report) {
  return LoadGamesFromFile(First, fileName, options, &HomeLog(), &report);
}

}  // namespace kessaro
