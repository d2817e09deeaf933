#include "storage/FileMapping.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/ByteFixtures.h"

namespace kessaro {
namespace {

using test::ReadFileBytes;
using test::TBytes;
using test::TempPath;
using test::WriteFileBytes;

constexpr std::uint32_t kSig = 0x11223344;
const TBytes kSigBytes = {0x44, 0x33, 0x22, 0x11};

TBytes WithSignature(TBytes data) {
  data.insert(data.begin(), kSigBytes.begin(), kSigBytes.end());
  return data;
}

TBytes Pattern(std::size_t n, std::uint8_t seed) {
  TBytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 4096);
  return b;
}

template <class Map>
void Prepare(Map& m, bool mapped, bool readOnly) {
  m.SetSignature(kSig);
  m.SetMapped(mapped);
  m.SetReadOnly(readOnly);
}

std::string AccessName(const testing::TestParamInfo<bool>& p) {
  return p.param ? "mapped" : "unmapped";
}

class MapAccess : public testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Mapping, MapAccess, testing::Bool(), AccessName);

TEST_P(MapAccess, MissingFileIsCreatedOnlyByAWritableObject) {
  const std::string path = TempPath("new.bin");
  TMap reader;
  Prepare(reader, GetParam(), true);
  EXPECT_FALSE(reader.Open(path));
  EXPECT_FALSE(FileExists(path));

  TMap writer;
  Prepare(writer, GetParam(), false);
  ASSERT_TRUE(writer.Open(path));
  EXPECT_EQ(writer.FileSize(), 4u);
  writer.Close();
  EXPECT_EQ(ReadFileBytes(path), kSigBytes);  // the signature is written at close
}

TEST_P(MapAccess, ShortAndForeignFiles) {
  for (std::size_t size = 0; size < 4; ++size) {
    const std::string path = TempPath("short.bin");
    WriteFileBytes(path, TBytes(size, 0x7));
    TMap reader;
    Prepare(reader, GetParam(), true);
    EXPECT_FALSE(reader.Open(path)) << size;
    EXPECT_FALSE(reader.Active());
    EXPECT_EQ(reader.TakeErrors(), ErrFormat) << size;

    TMap writer;
    Prepare(writer, GetParam(), false);
    ASSERT_TRUE(writer.Open(path)) << size;
    EXPECT_EQ(writer.FileSize(), 4u);
    writer.Close();
    EXPECT_EQ(ReadFileBytes(path), kSigBytes) << size;
  }
  const std::string path = TempPath("foreign.bin");
  WriteFileBytes(path, {1, 2, 3, 4, 5});
  TMap m;
  Prepare(m, GetParam(), true);
  EXPECT_FALSE(m.Open(path));
  EXPECT_EQ(m.TakeErrors(), ErrFormat);
  EXPECT_EQ(m.TakeErrors(), 0u);  // taken
  m.SetSignature(0);              // no check
  EXPECT_TRUE(m.Open(path));
  EXPECT_EQ(TakeErrors(nullptr), ErrNoObject);
}

TEST_P(MapAccess, ReadsInsideTheDataOrAllZeros) {
  const std::string path = TempPath("read.bin");
  WriteFileBytes(path, WithSignature({10, 11, 12, 13, 14, 15}));
  TMap m;
  Prepare(m, GetParam(), true);
  ASSERT_TRUE(m.Open(path));
  EXPECT_EQ(m.DataSize(), 6u);
  std::uint8_t b[4];
  m.Read(b, 2, 4);
  EXPECT_EQ(TBytes(b, b + 4), (TBytes{12, 13, 14, 15}));
  m.Read(b, 3, 4);  // crosses the end: no partial copy
  EXPECT_EQ(TBytes(b, b + 4), TBytes(4, 0));
  m.Read(b, -4, 4);
  EXPECT_EQ(TBytes(b, b + 4), kSigBytes);
  m.Read(b, -8, 4);
  EXPECT_EQ(TBytes(b, b + 4), TBytes(4, 0));
  EXPECT_EQ(m.Data() != nullptr, GetParam());
  EXPECT_EQ(m.TakeErrors(), 0u);
}

TEST_P(MapAccess, WritesGrowZeroFillAndCloseCutsTheReserve) {
  const std::string path = TempPath("grow.bin");
  TMap m;
  Prepare(m, GetParam(), false);
  m.SetGrowBy(0x10000);
  int remaps = 0;
  m.OnRemap = [&](TCustomMap&) { ++remaps; };
  ASSERT_TRUE(m.CreateNew(path));
  const TBytes head = Pattern(100, 1), tail = Pattern(5000, 2);
  m.Write(head.data(), 0, 100);
  m.Write(tail.data(), 300000, 5000);  // far beyond the mapping and the end
  EXPECT_EQ(m.FileSize(), 4u + 305000u);
  EXPECT_EQ(remaps > 0, GetParam());
  TBytes back(5000);
  m.Read(back.data(), 300000, 5000);
  EXPECT_EQ(back, tail);
  m.Close();
  EXPECT_EQ(m.TakeErrors(), 0u);
  const TBytes file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 4u + 305000u);  // no growth reserve left behind
  EXPECT_EQ(TBytes(file.begin(), file.begin() + 4), kSigBytes);
  EXPECT_EQ(TBytes(file.begin() + 4, file.begin() + 104), head);
  EXPECT_TRUE(
      std::all_of(file.begin() + 104, file.begin() + 300004, [](auto c) { return c == 0; }));
  EXPECT_EQ(TBytes(file.begin() + 300004, file.end()), tail);
}

TEST_P(MapAccess, SetDataSizeCutsAtClose) {
  const std::string path = TempPath("cut.bin");
  const TBytes data = Pattern(1000, 3);
  WriteFileBytes(path, WithSignature(data));
  TMap m;
  Prepare(m, GetParam(), false);
  ASSERT_TRUE(m.Open(path));
  m.SetDataSize(10);
  m.Close();
  EXPECT_EQ(ReadFileBytes(path), WithSignature(TBytes(data.begin(), data.begin() + 10)));
}

TEST(Map, WritableFileIsExclusiveAndReadersShare) {
  const std::string path = TempPath("excl.bin");
  WriteFileBytes(path, WithSignature({1}));
  TMap writer, other, reader;
  writer.SetReadOnly(false);
  other.SetReadOnly(false);
  ASSERT_TRUE(writer.Open(path));
  EXPECT_FALSE(other.Open(path));
  EXPECT_FALSE(reader.Open(path));
  writer.Close();
  TMap reader2;
  EXPECT_TRUE(reader.Open(path));
  EXPECT_TRUE(reader2.Open(path));
  EXPECT_FALSE(other.Open(path));
}

TEST(Map, SettingsChangeOnlyWhileClosed) {
  const std::string path = TempPath("settings.bin");
  WriteFileBytes(path, WithSignature({1}));
  TMap m;
  ASSERT_TRUE(m.Open(path));
  m.SetReadOnly(false);
  m.SetMapped(false);
  m.SetSignature(5);
  EXPECT_TRUE(m.ReadOnly());
  EXPECT_TRUE(m.Mapped());
  EXPECT_EQ(m.Signature(), 0u);
}

// A full disk while a writable mapping grows: the reservation fails, an error bit is set and
// the file is closed; nothing touches unbacked mapped pages.
TEST(Map, FailedReservationIsAnErrorNotACrash) {
  const std::string path = TempPath("full.bin");
  TMap m;
  m.SetReadOnly(false);
  m.SetGrowBy(0x10000);
  ASSERT_TRUE(m.CreateNew(path));
  const TBytes data = Pattern(1000, 4);
  m.Write(data.data(), 0, 1000);
  SetFaultHook([](TFileOp op) { return op == TFileOp::foReserve ? ENOSPC : 0; });
  m.Write(data.data(), 200000, 1000);
  SetFaultHook({});
  EXPECT_FALSE(m.Active());
  EXPECT_TRUE(m.TakeErrors() & ErrMapping);
  const TBytes file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 1004u);  // what was written before stays, no reserve is left
  EXPECT_EQ(TBytes(file.begin() + 4, file.end()), data);

  SetFaultHook([](TFileOp op) { return op == TFileOp::foReserve ? ENOSPC : 0; });
  EXPECT_FALSE(m.Open(path));
  SetFaultHook({});
  EXPECT_TRUE(m.TakeErrors() & ErrMapping);
}

TEST(Map, FileSizeLimitDuringMappedGrowthDoesNotRaiseSigbus) {
  const std::string path = TempPath("limit.bin");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1 << 20, 1 << 20};
    setrlimit(RLIMIT_FSIZE, &limit);
    TMap m;
    m.SetReadOnly(false);
    m.SetGrowBy(0x10000);
    if (!m.CreateNew(path)) _exit(3);
    const TBytes data = Pattern(0x10000, 5);
    for (std::int64_t at = 0; at < 4 << 20 && m.Active(); at += 0x10000)
      m.Write(data.data(), at, 0x10000);
    _exit(!m.Active() && (m.TakeErrors() & ErrMapping) ? 0 : 4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_LE(ReadFileBytes(path).size(), 1u << 20);
}

// ---------------------------------------------------------------------------------------------
// Save map

class TestSaveMap : public TSaveMap {
 public:
  bool HasFreeSpace() override { return freeSpace; }
  bool freeSpace = true;
};

class SaveMapAccess : public testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Mapping, SaveMapAccess, testing::Bool(), AccessName);

TEST_P(SaveMapAccess, ChangesStayPrivateUntilClose) {
  const std::string path = TempPath("save.bin");
  const TBytes old = WithSignature(Pattern(10000, 1));
  WriteFileBytes(path, old);
  TSaveMap m;
  Prepare(m, GetParam(), false);
  ASSERT_TRUE(m.Open(path));
  const TBytes update = Pattern(3000, 9);
  m.Write(update.data(), 5000, 3000);
  m.Write(update.data(), 12000, 100);  // beyond the end
  TBytes back(3000);
  m.Read(back.data(), 5000, 3000);
  EXPECT_EQ(back, update);
  EXPECT_EQ(m.LogicalSize(), 12104u);
  EXPECT_EQ(ReadFileBytes(path), old);  // nothing on disk yet
  m.Close();
  EXPECT_EQ(m.TakeErrors(), 0u);
  TBytes expected = old;
  std::copy(update.begin(), update.end(), expected.begin() + 5004);
  expected.resize(12104, 0);
  std::copy(update.begin(), update.begin() + 100, expected.begin() + 12004);
  EXPECT_EQ(ReadFileBytes(path), expected);
  EXPECT_FALSE(FileExists(path + ".saving"));
}

TEST_P(SaveMapAccess, PageAcrossTheEndKeepsTheFileBytes) {
  const std::string path = TempPath("edge.bin");
  const TBytes old = WithSignature(Pattern(4996, 2));  // file of 5000 bytes: ends in page 1
  WriteFileBytes(path, old);
  TSaveMap m;
  Prepare(m, GetParam(), false);
  ASSERT_TRUE(m.Open(path));
  const std::uint8_t x[4] = {0xAA, 0xBB, 0xCC, 0xDD};
  m.Write(x, 6000 - 4, 4);  // a later part of page 1
  m.Close();
  TBytes expected = old;
  expected.resize(6004, 0);
  std::copy(x, x + 4, expected.begin() + 6000);
  EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST_P(SaveMapAccess, ReadAcrossTheEndOfTheFileKeepsTheBytesBeforeIt) {
  // Regression: a read of an untouched page that crossed the end of the file gave all zeros.
  const std::string path = TempPath("tail.bin");
  const TBytes old = WithSignature(Pattern(96, 3));  // data bytes 0..95
  WriteFileBytes(path, old);
  TSaveMap m;
  Prepare(m, GetParam(), false);
  ASSERT_TRUE(m.Open(path));
  m.SetDataSize(200);
  TBytes back(20, 0xEE);
  m.Read(back.data(), 90, 20);
  TBytes expected(old.begin() + 4 + 90, old.end());
  expected.resize(20, 0);
  EXPECT_EQ(back, expected);
  m.Close();
}

TEST_P(SaveMapAccess, DiskFullHandlerDecides) {
  const TBytes old = WithSignature(Pattern(5000, 3));
  const TBytes update = Pattern(10, 4);
  struct Case {
    const char* name;
    bool handler;
    int cancelAfter;  // calls before the handler cancels; -1: space appears after 3 calls
    bool saved;
  };
  for (const Case c : {Case{"no handler", false, 0, false}, Case{"cancel", true, 1, false},
                       Case{"freed after three calls", true, -1, true}}) {
    const std::string path = TempPath("full.bin");
    WriteFileBytes(path, old);
    TestSaveMap m;
    Prepare(m, GetParam(), false);
    ASSERT_TRUE(m.Open(path));
    m.Write(update.data(), 0, 10);
    m.freeSpace = false;
    int calls = 0;
    if (c.handler) {
      m.OnDiskFull = [&](TCustomMap& sender) {
        ++calls;
        auto& save = static_cast<TestSaveMap&>(sender);
        if (c.cancelAfter == calls) save.SetSaveEnabled(false);
        if (c.cancelAfter < 0 && calls == 3) save.freeSpace = true;
      };
    }
    m.Close();
    EXPECT_EQ(ReadFileBytes(path) == old, !c.saved) << c.name;
    if (c.cancelAfter < 0) {
      EXPECT_EQ(calls, 3) << c.name;
    }
    EXPECT_EQ(m.PendingPages(), 0u) << c.name;  // discarded at close either way
  }
}

TEST_P(SaveMapAccess, BeforeSaveWritesAreSavedAndDisabledSaveWritesNothing) {
  const std::string path = TempPath("hooks.bin");
  const TBytes old = WithSignature(Pattern(100, 5));
  WriteFileBytes(path, old);
  {
    TSaveMap m;
    Prepare(m, GetParam(), false);
    ASSERT_TRUE(m.Open(path));
    m.OnBeforeSave = [](TCustomMap& sender) { sender.Write("HDR", 0, 3); };
    m.SetSaveEnabled(false);
    m.Write("zz", 50, 2);
    m.Close();
    EXPECT_EQ(ReadFileBytes(path), old);
  }
  // A file that did not change is not written at all, hooks included.
  {
    TSaveMap m;
    Prepare(m, GetParam(), false);
    ASSERT_TRUE(m.Open(path));
    m.OnBeforeSave = [](TCustomMap& sender) { sender.Write("HDR", 0, 3); };
    m.Close();
    EXPECT_EQ(ReadFileBytes(path), old);
  }
  TSaveMap m;
  Prepare(m, GetParam(), false);
  ASSERT_TRUE(m.Open(path));
  m.OnBeforeSave = [](TCustomMap& sender) { sender.Write("HDR", 0, 3); };
  m.Write(old.data() + 54, 50, 2);  // a write of the same bytes is a change
  m.Close();
  const TBytes file = ReadFileBytes(path);
  EXPECT_EQ(std::string(file.begin() + 4, file.begin() + 7), "HDR");
  EXPECT_EQ(TBytes(file.begin() + 7, file.end()), TBytes(old.begin() + 7, old.end()));
}

TEST(SaveMap, FlushWhileOpenKeepsTheFileUsable) {
  const std::string path = TempPath("flush.bin");
  WriteFileBytes(path, WithSignature(Pattern(9000, 6)));
  TSaveMap m;
  Prepare(m, true, false);
  ASSERT_TRUE(m.Open(path));
  m.Write("abc", 8000, 3);
  m.Flush();
  EXPECT_EQ(m.PendingPages(), 0u);
  char back[3];
  m.Read(back, 8000, 3);
  EXPECT_EQ(std::string(back, 3), "abc");
  // The replacement file is still held exclusively.
  TSaveMap other;
  other.SetReadOnly(false);
  EXPECT_FALSE(other.Open(path));
  m.Close();
  EXPECT_EQ(m.TakeErrors(), 0u);
}

TEST(SaveMap, RealFreeSpaceCheckPassesForASmallFile) {
  const std::string path = TempPath("space.bin");
  TSaveMap m;
  m.SetReadOnly(false);
  ASSERT_TRUE(m.CreateNew(path));
  EXPECT_TRUE(m.HasFreeSpace());
  m.Write("x", 0, 1);
  m.Close();
  EXPECT_EQ(ReadFileBytes(path), (TBytes{0, 0, 0, 0, 'x'}));
}

// ---------------------------------------------------------------------------------------------
// Atomic save: whatever stops a save, the file is the complete old image or the new one.

struct TSaveImages {
  TBytes oldImage, newData, newImage;
};

TSaveImages MakeImages() {
  TSaveImages s;
  s.oldImage = WithSignature(Pattern(2 << 20, 11));
  s.newData = Pattern((3 << 20) + 123, 77);  // grows, ends inside a page
  s.newImage = WithSignature(s.newData);
  return s;
}

// Writes the new image into a save map over the old file and closes it (the save).
std::uint32_t SaveNewImage(const std::string& path, const TSaveImages& s, bool mapped,
                           const TFaultHook& hook) {
  TSaveMap m;
  Prepare(m, mapped, false);
  if (!m.Open(path)) return 0xDEAD;
  for (std::size_t at = 0; at < s.newData.size(); at += 50000) {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(50000, s.newData.size() - at));
    m.Write(s.newData.data() + at, static_cast<std::int64_t>(at), n);
  }
  SetFaultHook(hook);
  m.Close();
  SetFaultHook({});
  return m.TakeErrors();
}

enum class TOutcome { kOld, kNew, kOther };
TOutcome Outcome(const std::string& path, const TSaveImages& s) {
  const TBytes file = ReadFileBytes(path);
  if (file == s.oldImage) return TOutcome::kOld;
  if (file == s.newImage) return TOutcome::kNew;
  return TOutcome::kOther;
}

class AtomicSave : public testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Mapping, AtomicSave, testing::Bool(), AccessName);

TEST_P(AtomicSave, KillAtEveryFileOperationOfTheSave) {
  const TSaveImages s = MakeImages();
  const std::string path = TempPath("killed.bin");
  int olds = 0, news = 0;
  bool completed = false;
  for (int n = 1; n < 400 && !completed; ++n) {
    WriteFileBytes(path, s.oldImage);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int count = 0;
      SaveNewImage(path, s, GetParam(), [&](TFileOp) {
        if (++count == n) kill(getpid(), SIGKILL);
        return 0;
      });
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    completed = WIFEXITED(status);
    const TOutcome o = Outcome(path, s);
    ASSERT_NE(o, TOutcome::kOther) << "killed at operation " << n;
    (o == TOutcome::kOld ? olds : news)++;
    if (completed) {
      EXPECT_EQ(o, TOutcome::kNew);
    }
  }
  EXPECT_TRUE(completed);
  EXPECT_GT(olds, 10);  // the kills really fell inside the save
  EXPECT_GT(news, 0);
}

TEST_P(AtomicSave, KillAtRandomTimes) {
  const TSaveImages s = MakeImages();
  const std::string path = TempPath("timed.bin");
  WriteFileBytes(path, s.oldImage);
  const auto start = std::chrono::steady_clock::now();
  SaveNewImage(path, s, GetParam(), {});
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
  std::mt19937 rng(7);
  std::uniform_int_distribution<long> delay(0, std::max<long>(took, 1000));
  for (int i = 0; i < 20; ++i) {
    WriteFileBytes(path, s.oldImage);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SaveNewImage(path, s, GetParam(), {});
      _exit(0);
    }
    usleep(static_cast<useconds_t>(delay(rng)));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_NE(Outcome(path, s), TOutcome::kOther) << "run " << i;
  }
}

// The last steps of a save that went through, as the fault hook sees them. A durable save
// cuts the side file to size and syncs it before it replaces the file, then syncs the folder
// that holds the rename: "truncate sync rename sync".
std::string SaveEnding(const std::vector<TFileOp>& ops) {
  std::string out;
  for (const TFileOp op : ops) {
    if (op == TFileOp::foWrite) out.clear();
    const char* name = op == TFileOp::foTruncate ? "truncate"
                       : op == TFileOp::foSync   ? "sync"
                       : op == TFileOp::foRename ? "rename"
                                                 : nullptr;
    if (name != nullptr) out += (out.empty() ? "" : " ") + std::string(name);
  }
  return out;
}

TEST_P(AtomicSave, FailEachOperationOnceAndForGood) {
  const TSaveImages s = MakeImages();
  const std::string path = TempPath("faults.bin");
  for (const TFileOp op : {TFileOp::foWrite, TFileOp::foSync, TFileOp::foRename,
                           TFileOp::foTruncate, TFileOp::foOpen}) {
    for (const bool forGood : {false, true}) {
      bool fired = true;
      for (int n = 1; fired; ++n) {
        ASSERT_LT(n, 200);
        WriteFileBytes(path, s.oldImage);
        int count = 0;
        fired = false;
        std::vector<TFileOp> seen;
        const std::uint32_t errors = SaveNewImage(path, s, GetParam(), [&](TFileOp o) {
          seen.push_back(o);
          if (o != op) return 0;
          ++count;
          if (count == n || (forGood && count > n)) {
            fired = true;
            return EIO;
          }
          return 0;
        });
        const TOutcome o = Outcome(path, s);
        const std::string where = "op " + std::to_string(static_cast<int>(op)) + " n " +
                                  std::to_string(n) + (forGood ? " for good" : " once");
        ASSERT_NE(o, TOutcome::kOther) << where;
        if (fired) {
          EXPECT_TRUE(errors & ErrIO) << where;
        }
        if (!fired) {
          EXPECT_EQ(o, TOutcome::kNew) << where;
          EXPECT_EQ(SaveEnding(seen), "truncate sync rename sync") << where;
        }
        if (o == TOutcome::kOld) {
          EXPECT_TRUE(errors & ErrIO) << where;
        }
        EXPECT_FALSE(FileExists(path + ".saving")) << where;
      }
    }
  }
}

}  // namespace
}  // namespace kessaro
