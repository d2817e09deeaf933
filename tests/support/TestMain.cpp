// Common main of every test executable: the user home points at a fresh temporary folder,
// removed at exit, so that no test touches the real one.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  std::string pattern = (std::filesystem::temp_directory_path() / "kessaro-test-XXXXXX").string();
  const char* home = mkdtemp(pattern.data());
  if (home == nullptr) return 2;
  setenv("KESSARO_HOME", home, 1);
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::error_code ec;
  std::filesystem::remove_all(home, ec);
  return result;
}
