// The core is Qt-free: only files inside a qt/ folder or under src/app may include Qt headers.
// The folders under src/ are floors, and a file includes only from its own floor or below.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Lowest first; folders on one floor may include each other.
const std::map<std::string, int> kFloors = {
    {"platform", 0}, {"storage", 1}, {"board", 2},   {"strings", 3},
    {"records", 4},  {"bases", 5},   {"display", 6}, {"workspace", 7},
    {"printing", 7}, {"lists", 7},   {"app", 8},     {"tool", 8},
};

std::optional<int> FloorOf(const std::string& folder) {
  const auto it = kFloors.find(folder);
  if (it == kFloors.end()) return std::nullopt;
  return it->second;
}

// The complaint about one include line of the file at src/<folder>/..., or "" when it keeps
// to the floors. Only includes of project folders ("bases/Nety.h") are judged.
std::string FloorViolation(const std::string& folder, const std::string& fileName,
                           const std::string& line) {
  static const std::regex projectInclude(R"(^\s*#\s*include\s*"([a-z]+)/[^"]*")");
  std::smatch match;
  if (!std::regex_search(line, match, projectInclude)) return "";
  const auto own = FloorOf(folder);
  const auto used = FloorOf(match[1].str());
  if (!own || !used) return "";
  if (*used <= *own) return "";
  return "src/" + folder + "/" + fileName + " (floor " + std::to_string(*own) + ", " + folder +
         ") includes " + match[1].str() + "/ (floor " + std::to_string(*used) + "): " + line;
}

bool AllowedToUseQt(const fs::path& relative) {
  const std::string text = relative.generic_string();
  if (text.rfind("src/app/", 0) == 0) return true;
  for (const auto& part : relative.parent_path())
    if (part == "qt") return true;
  return false;
}

TEST(Layering, QtHeadersOnlyInQtFolders) {
  const char* root = std::getenv("KESSARO_SOURCE_DIR");
  ASSERT_NE(root, nullptr) << "KESSARO_SOURCE_DIR is set by CTest";
  const std::regex qtInclude(R"(^\s*#\s*include\s*[<"](Q[A-Za-z]+|Qt[A-Za-z]+/[^>"]*)[>"])");
  std::vector<std::string> offenders;
  int scanned = 0;
  for (const char* top : {"src", "tests"}) {
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(root) / top)) {
      const auto ext = entry.path().extension();
      if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp" && ext != ".hpp")) continue;
      const fs::path relative = fs::relative(entry.path(), root);
      ++scanned;
      if (AllowedToUseQt(relative)) continue;
      std::ifstream in(entry.path());
      std::string line;
      while (std::getline(in, line))
        if (std::regex_search(line, qtInclude))
          offenders.push_back(relative.string() + ": " + line);
    }
  }
  EXPECT_GT(scanned, 10);
  EXPECT_TRUE(offenders.empty()) << offenders.size() << " Qt includes outside qt/, first: "
                                 << (offenders.empty() ? "" : offenders.front());
}

TEST(Layering, IncludesRunOnlyDownTheFloors) {
  const char* root = std::getenv("KESSARO_SOURCE_DIR");
  ASSERT_NE(root, nullptr) << "KESSARO_SOURCE_DIR is set by CTest";
  const fs::path src = fs::path(root) / "src";
  std::vector<std::string> offenders;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    const auto ext = entry.path().extension();
    if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp" && ext != ".inc")) continue;
    const fs::path relative = fs::relative(entry.path(), src);
    const std::string folder = relative.begin()->string();
    ASSERT_TRUE(FloorOf(folder)) << "src/" << folder << "/ has no floor in the table";
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      const std::string complaint = FloorViolation(folder, relative.filename().string(), line);
      if (!complaint.empty()) offenders.push_back(complaint);
    }
  }
  std::string all;
  for (const auto& o : offenders) all += "\n  " + o;
  EXPECT_TRUE(offenders.empty()) << offenders.size() << " includes from a higher floor:" << all;
}

TEST(Layering, TheFloorRuleJudgesIncludes) {
  struct Case {
    const char* folder;
    const char* line;
    bool wrong;
  } const cases[] = {
      {"board", "#include \"bases/Nety.h\"", true},
      {"records", "#include \"bases/SubNety.h\"", true},
      {"storage", "  #  include \"display/Canvas.h\"", true},
      {"bases", "#include \"records/BoardFormTypes.h\"", false},
      {"workspace", "#include \"lists/GamesList.h\"", false},
      {"display", "#include \"display/Board.h\"", false},
      {"tool", "#include \"bases/BaseHolder.h\"", false},
      {"board", "#include <vector>", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(!FloorViolation(c.folder, "X.cpp", c.line).empty(), c.wrong)
        << c.folder << ": " << c.line;
}

TEST(Layering, TheRuleCatchesAQtInclude) {
  const std::regex qtInclude(R"(^\s*#\s*include\s*[<"](Q[A-Za-z]+|Qt[A-Za-z]+/[^>"]*)[>"])");
  EXPECT_TRUE(std::regex_search("#include <QImage>", qtInclude));
  EXPECT_TRUE(std::regex_search("  #  include <QtWidgets/QWidget>", qtInclude));
  EXPECT_FALSE(std::regex_search("#include \"display/Canvas.h\"", qtInclude));
  EXPECT_FALSE(std::regex_search("#include <queue>", qtInclude));
  EXPECT_FALSE(AllowedToUseQt("src/display/Board.cpp"));
  EXPECT_TRUE(AllowedToUseQt("src/display/qt/QtCanvas.cpp"));
  EXPECT_TRUE(AllowedToUseQt("src/app/main.cpp"));
  EXPECT_TRUE(AllowedToUseQt("tests/display/qt/RenderTest.cpp"));
}

}  // namespace
