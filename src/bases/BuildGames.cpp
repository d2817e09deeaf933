#include "bases/BuildGames.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

#include "bases/BaseSorting.h"
#include "board/SymmetryFunctions.h"
#include "records/BoardFormFunc.h"
#include "records/LoadSequence.h"

namespace kessaro {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

constexpr std::uint8_t kBaseRankPro = 0x80;
constexpr std::uint8_t kBaseRankNotRated = 1;

std::uint8_t DanCode(int dan) {
  return static_cast<std::uint8_t>(118 + dan);
}

bool IsPro(std::uint8_t code) {
  return (code & kBaseRankPro) != 0;
}
int Level(std::uint8_t code) {
  return code & 0x7F;
}

std::string FirstText(const PStringSet& set) {
  return set == nullptr ? std::string() : set->GetText(0);
}

// Symmetry codes that bring each corner of the board to the upper left.
constexpr std::uint8_t kCornerCodes[4] = {0, kSymMirrorX, kSymMirrorY, kSymMirrorX | kSymMirrorY};

void ReadGame(const TSequence* root, int width, int height, std::vector<TGameEntry>& games,
              std::vector<TCornerSeq>& corners, TBuildSummary& summary) {
  ++summary.Games;
  const TGame* game = root->Data != nullptr ? root->Data->Game() : nullptr;
  if (game == nullptr || game->BoardSize != 19) {
    ++summary.GamesNotNineteen;
    return;
  }
  TGameEntry entry;
  entry.BlackRank = RankTextToBaseRank(FirstText(game->Info.BlackRank));
  entry.WhiteRank = RankTextToBaseRank(FirstText(game->Info.WhiteRank));
  entry.Category = RankCategory(entry.BlackRank, entry.WhiteRank);
  entry.Winner = ResultWinner(FirstText(game->Info.Result));
  for (std::size_t i = 0; i < kBuildSortIndexes; ++i)
    entry.SortKeys[i] = GameSortKey(*game, BuildSortIndexElements(i));

  std::array<bool, 4> setup{};
  auto markSetup = [&](const APositionModifier& items) {
    for (const TPositionModifierItem& item : items) {
      if (item.Value & kModifierMarkBit) continue;
      for (int c = 0; c < 4; ++c) {
        int x = item.Point & 0xFF, y = item.Point >> 8;
        if (x >= 19 || y >= 19) continue;
        TransformXY(x, y, kCornerCodes[c], 19, 19);
        if (x < width && y < height) setup[static_cast<std::size_t>(c)] = true;
      }
    }
  };
  std::array<TCornerSeq, 4> seqs;
  const auto gameIndex = static_cast<std::uint32_t>(games.size());
  for (int c = 0; c < 4; ++c) {
    seqs[static_cast<std::size_t>(c)].Game = gameIndex;
    seqs[static_cast<std::size_t>(c)].Corner = kCornerCodes[c];
  }
  markSetup(root->Setup);
  for (const TSequence* n = root->FirstChild; n != nullptr; n = n->FirstChild) {
    markSetup(n->Setup);
    if (IsNoMove(n->Point)) continue;
    const int px = n->Point & 0x1F, py = (n->Point >> 8) & 0x1F;
    if (px >= 19 || py >= 19) continue;
    const bool white = (n->Flags & sfBlack) == 0;
    if (entry.Moves.size() >= 0x7FFF) break;  // a game reference counts moves in 15 bits
    const auto index = static_cast<std::uint16_t>(entry.Moves.size());
    entry.Moves.push_back({MakeMove(px, py, white), 0});
    for (int c = 0; c < 4; ++c) {
      int x = px, y = py;
      TransformXY(x, y, kCornerCodes[c], 19, 19);
      if (x >= width || y >= height) continue;
      TCornerSeq& s = seqs[static_cast<std::size_t>(c)];
      s.Moves.push_back(MakeMove(x, y, white));
      s.VarIndex.push_back(index);
    }
  }
  bool used = false;
  for (int c = 0; c < 4; ++c) {
    TCornerSeq& s = seqs[static_cast<std::size_t>(c)];
    if (setup[static_cast<std::size_t>(c)]) {
      ++summary.CornersSetup;
      continue;
    }
    if (s.Moves.empty()) continue;
    used = true;
    ++summary.Corners;
    corners.push_back(std::move(s));
  }
  if (!used) return;
  ++summary.GamesUsed;
  games.push_back(std::move(entry));
}

void ReadFile(const std::string& file, int width, int height, TFilePart& part) {
  TSequence first;
  TSgfReport report;
  if (!LoadGamesFromFile(&first, file, 0, nullptr, &report)) ++part.Counts.FilesRejected;
  part.Counts.GamesRejected += report.Rejected.size();
  for (const std::string& line : report.Lines())
    part.Counts.ReaderNotes.push_back(file + ": " + line);
  if (first.Data != nullptr)
    for (const TSequence* r = &first; r != nullptr; r = r->NextSibling)
      ReadGame(r, width, height, part.Games, part.Seqs, part.Counts);
  ClearRoot(&first);
}

}  // namespace

std::uint8_t RankTextToBaseRank(const std::string& raw) {
  std::string t = Lower(Trim(raw));
  if (t.empty()) return 0;
  if (t == "nr" || t == "not rated" || t == "ur") return kBaseRankNotRated;
  if (t == "insei") return DanCode(7);
  // Title holders of professional collections.
  for (const char* title : {"honinbo", "meijin", "kisei", "judan", "tengen", "oza", "gosei"})
    if (t == title) return static_cast<std::uint8_t>(kBaseRankPro | DanCode(9));
  std::size_t i = 0;
  bool proFirst = false;
  if (t.rfind("pro", 0) == 0) {
    proFirst = true;
    i = 3;
  }
  while (i < t.size() && t[i] == ' ') ++i;
  std::size_t digits = i;
  int n = 0;
  while (digits < t.size() && std::isdigit(static_cast<unsigned char>(t[digits])) && n < 1000)
    n = n * 10 + (t[digits++] - '0');
  if (digits == i) return 0;
  std::string rest = Trim(std::string_view(t).substr(digits));
  while (!rest.empty() && rest.back() == '*') rest.pop_back();
  rest = Trim(rest);
  if (proFirst) {
    if ((rest == "d" || rest == "dan" || rest.empty()) && n >= 1 && n <= 9)
      return static_cast<std::uint8_t>(kBaseRankPro | DanCode(n));
    return 0;
  }
  if (rest == "p" || rest == "pro" || rest == "dan pro" || rest == "d pro" || rest == "pd") {
    if (n >= 1 && n <= 9) return static_cast<std::uint8_t>(kBaseRankPro | DanCode(n));
    return 0;
  }
  if (rest == "d" || rest == "dan" || rest == "dan ama" || rest == "d ama" || rest == "a" ||
      rest == "ad") {
    if (n >= 1 && n <= 9) return DanCode(n);
    return 0;
  }
  if (rest == "k" || rest == "kyu" || rest == "kyu ama") {
    if (n >= 1 && n <= 117) return static_cast<std::uint8_t>(119 - n);
    return 0;
  }
  return 0;
}

TStatCategory RankCategory(std::uint8_t black, std::uint8_t white) {
  if (Level(black) <= kBaseRankNotRated || Level(white) <= kBaseRankNotRated) return scUnknown;
  if (IsPro(black) && IsPro(white)) return scPro;
  if (IsPro(black) || IsPro(white)) return scProSemiPro;
  if (Level(black) < DanCode(1) || Level(white) < DanCode(1)) return scKyu;
  if (Level(black) >= DanCode(5) && Level(white) >= DanCode(5)) return scStrongAma;
  return scAmaDan;
}

int ResultWinner(const std::string& raw) {
  const std::string t = Lower(Trim(raw));
  if (t.size() >= 2 && t[1] == '+') {
    if (t[0] == 'b') return 1;
    if (t[0] == 'w') return 2;
  }
  return 0;
}

std::vector<std::string> CollectInputFiles(const std::vector<std::string>& inputs,
                                           std::vector<std::string>& missing) {
  std::vector<std::string> files;
  for (const std::string& input : inputs) {
    std::error_code ec;
    if (fs::is_directory(input, ec)) {
      fs::recursive_directory_iterator it(input, fs::directory_options::skip_permission_denied, ec),
          end;
      for (; !ec && it != end; it.increment(ec)) {
        std::error_code fec;
        if (!it->is_regular_file(fec)) continue;
        const std::string ext = Lower(it->path().extension().string());
        if (ext == ".sgf" || ext == ".mgt") files.push_back(it->path().string());
      }
    } else if (fs::is_regular_file(input, ec)) {
      files.push_back(input);
    } else {
      missing.push_back(input);
    }
  }
  std::sort(files.begin(), files.end());
  files.erase(std::unique(files.begin(), files.end()), files.end());
  return files;
}

void ReadFilesInOrder(const std::vector<std::string>& files, int width, int height, unsigned jobs,
                      const std::function<void(TFilePart&)>& take) {
  jobs = std::clamp(jobs, 1u, 256u);
  if (jobs == 1) {
    for (const std::string& file : files) {
      TFilePart part;
      ReadFile(file, width, height, part);
      take(part);
    }
    return;
  }
  const std::size_t window = 4 * std::size_t{jobs};
  std::vector<TFilePart> slots(window);  // file i waits in slot i % window
  std::vector<char> filled(window, 0);
  std::mutex mutex;
  std::condition_variable partReady, slotFree;
  std::size_t nextFile = 0, taken = 0;
  auto work = [&] {
    for (;;) {
      std::size_t i = 0;
      {
        std::unique_lock lock(mutex);
        if (nextFile >= files.size()) return;
        i = nextFile++;
        slotFree.wait(lock, [&] { return i < taken + window; });
      }
      TFilePart part;
      ReadFile(files[i], width, height, part);
      {
        std::lock_guard lock(mutex);
        slots[i % window] = std::move(part);
        filled[i % window] = 1;
      }
      partReady.notify_one();
    }
  };
  std::vector<std::thread> workers;
  for (unsigned j = 0; j < jobs; ++j) workers.emplace_back(work);
  for (std::size_t i = 0; i < files.size(); ++i) {
    TFilePart part;
    {
      std::unique_lock lock(mutex);
      partReady.wait(lock, [&] { return filled[i % window] != 0; });
      part = std::move(slots[i % window]);
      slots[i % window] = TFilePart{};
      filled[i % window] = 0;
      taken = i + 1;
    }
    slotFree.notify_all();
    take(part);
  }
  for (std::thread& t : workers) t.join();
}

}  // namespace kessaro
