// The core is Qt-free: only files inside a qt/ folder or under src/app may include Qt headers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

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
