#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "support/ByteFixtures.h"

namespace kessaro {
namespace {

using test::ReadFileBytes;
using test::TempPath;
using test::WriteFileBytes;

TFileHandle OpenRead(const std::string& path) {
  return OpenFile(path, TFileAccess::faRead, TFileCreation::fcOpenExisting,
                  TFileShare::fsShareRead);
}
TFileHandle OpenWrite(const std::string& path) {
  return OpenFile(path, TFileAccess::faReadWrite, TFileCreation::fcOpenAlways,
                  TFileShare::fsExclusive);
}

TEST(FileSystem, WriterExcludesEveryOtherOpenAndReadersShare) {
  const std::string path = TempPath("shared.bin");
  WriteFileBytes(path, {1, 2, 3});
  const TFileHandle r1 = OpenRead(path);
  const TFileHandle r2 = OpenRead(path);
  ASSERT_NE(r1, kInvalidHandle);
  EXPECT_NE(r2, kInvalidHandle);
  EXPECT_EQ(OpenWrite(path), kInvalidHandle);
  EXPECT_EQ(errno, EWOULDBLOCK);
  CloseFile(r1);
  CloseFile(r2);

  const TFileHandle w = OpenWrite(path);
  ASSERT_NE(w, kInvalidHandle);
  EXPECT_EQ(OpenWrite(path), kInvalidHandle);
  EXPECT_EQ(OpenRead(path), kInvalidHandle);
  // A refused truncating open leaves the writer's file alone.
  EXPECT_EQ(OpenFile(path, TFileAccess::faReadWrite, TFileCreation::fcCreateAlways,
                     TFileShare::fsExclusive),
            kInvalidHandle);
  EXPECT_EQ(ReadFileBytes(path).size(), 3u);
  CloseFile(w);
}

TEST(FileSystem, PositionedTransfersAreWholeOrFail) {
  const std::string path = TempPath("rw.bin");
  const TFileHandle h = OpenWrite(path);
  ASSERT_NE(h, kInvalidHandle);
  const char text[] = "abcdef";
  ASSERT_TRUE(WriteAt(h, text, 6, 10));
  EXPECT_EQ(FileSizeOf(h), 16u);
  char back[6] = {};
  EXPECT_TRUE(ReadAt(h, back, 6, 10));
  EXPECT_EQ(std::string(back, 6), "abcdef");
  EXPECT_FALSE(ReadAt(h, back, 6, 12));  // crosses the end
  ASSERT_TRUE(SetEndOfFile(h, 4));
  EXPECT_EQ(FileSizeOf(h), 4u);
  ASSERT_TRUE(ReserveSpace(h, 0, 1 << 16));
  EXPECT_EQ(FileSizeOf(h), 1u << 16);
  CloseFile(h);
}

TEST(FileSystem, MissingFileIsNotCreatedByAReader) {
  const std::string path = TempPath("missing.bin");
  EXPECT_EQ(OpenRead(path), kInvalidHandle);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(OpenFile(TempPath(""), TFileAccess::faRead, TFileCreation::fcOpenExisting,
                     TFileShare::fsShareRead),
            kInvalidHandle);  // a folder is not a file
}

TEST(FileSystem, FindFilesMatchesMaskSorted) {
  const std::string folder = TempPath("find");
  std::filesystem::create_directories(folder);
  for (const char* name : {"b.net", "a.net", "c.stc", "a.NET.bak"})
    WriteFileBytes(folder + "/" + name, {0});
  std::filesystem::create_directories(folder + "/dir.net");
  EXPECT_EQ(FindFiles(folder, "*.net"), (std::vector<std::string>{"a.net", "b.net"}));
  EXPECT_EQ(FindFiles(folder, "?.stc"), (std::vector<std::string>{"c.stc"}));
  EXPECT_TRUE(FindFiles(folder + "/none", "*").empty());
}

TEST(FileSystem, CopyNeverOverwrites) {
  const std::string from = TempPath("from.bin"), to = TempPath("to.bin");
  WriteFileBytes(from, {1, 2, 3, 4});
  ASSERT_TRUE(CopyFileNoOverwrite(from, to));
  EXPECT_EQ(ReadFileBytes(to), ReadFileBytes(from));
  WriteFileBytes(to, {9});
  EXPECT_FALSE(CopyFileNoOverwrite(from, to));
  EXPECT_EQ(ReadFileBytes(to), test::TBytes{9});
}

TEST(FileSystem, FreeSpaceOfFileAndOfMissingFile) {
  const std::string path = TempPath("space.bin");
  const auto folderSpace = FreeSpace(path);  // missing: its folder
  ASSERT_TRUE(folderSpace.has_value());
  EXPECT_GT(*folderSpace, 0u);
  EXPECT_FALSE(FreeSpace("/nonexistent-folder/x/y").has_value());
}

TEST(FileSystem, FaultHookFailsTheChosenOperation) {
  const std::string path = TempPath("fault.bin");
  const TFileHandle h = OpenWrite(path);
  ASSERT_NE(h, kInvalidHandle);
  int writes = 0;
  SetFaultHook([&](TFileOp op) { return op == TFileOp::foWrite && ++writes == 2 ? ENOSPC : 0; });
  EXPECT_TRUE(WriteAt(h, "a", 1, 0));
  EXPECT_FALSE(WriteAt(h, "b", 1, 1));
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_TRUE(WriteAt(h, "c", 1, 1));
  EXPECT_TRUE(SyncFile(h));
  SetFaultHook({});
  CloseFile(h);
  EXPECT_EQ(ReadFileBytes(path), (test::TBytes{'a', 'c'}));
}

}  // namespace
}  // namespace kessaro
