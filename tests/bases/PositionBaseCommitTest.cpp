// The position base saves its five files as one: whatever stops a save (a kill at any file
// operation or at any moment, a failing operation), the next open finds the five files all
// old or all new, every comment readable and no side file left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <random>

#include "bases/PositionBase.h"
#include "platform/FileCommit.h"
#include "support/ByteFixtures.h"
#include "support/TestSupport.h"

namespace kessaro {
namespace {

using test::TBytes;

constexpr TRegionWord kBoard9 = MakeRegion(rkWholeBoard, 9, 9);
const char* const kExts[] = {".pos", ".str", ".sid", ".ltr", ".lid"};

TMatrix OldPosition() {
  return test::Diagram(
      "X........\n..O......\n.........\n.........\n....X....\n"
      ".........\n.........\n.........\n.........\n",
      9, 9);
}
TMatrix NewPosition() {
  return test::Diagram(
      ".X.......\n.........\n...O.....\n.........\n.........\n"
      "......X..\n.........\n.........\n.........\n",
      9, 9);
}

std::unique_ptr<TStringSet> Text(const std::string& text) {
  auto s = std::make_unique<TStringSet>();
  s->SetText(1033, text);
  return s;
}

std::string TextOf(TStringBase& base, std::uint32_t id) {
  TStringSet s;
  base.Read(id, s);
  return s.GetText(1033);
}

std::string FreshBase(const std::string& name) {
  for (const char* ext : kExts) test::TempPath(name + ext);
  test::TempPath(name + ".pos.commit");
  return test::TempPath(name);
}

using TImages = std::vector<TBytes>;
TImages Images(const std::string& name) {
  TImages images;
  for (const char* ext : kExts) images.push_back(test::ReadFileBytes(name + ext));
  return images;
}

// The old state: one position with a commented move and its source name.
TImages MakeOldBase(const std::string& name) {
  TPositionBase b;
  b.SetReadOnly(false);
  EXPECT_TRUE(b.Open(name));
  EXPECT_TRUE(b.StoreMoves(OldPosition(), kBoard9, {{MakeMove(1, 1), 0, kPosMoveFromGames, 1}}));
  for (std::uint32_t id = 1; id < 40; ++id)  // enough records that the files span pages
    b.CommentBase().Write(id, Text("old comment " + std::to_string(id)).get());
  b.LetterBase().Write(1, Text("old source").get());
  b.Close();
  EXPECT_EQ(b.TakeErrors(), 0u);
  return Images(name);
}

// The save under test changes all five files; the hook is active only while they are saved.
std::uint32_t SaveNewState(const std::string& name, const TFaultHook& hook) {
  TPositionBase b;
  b.SetReadOnly(false);
  if (!b.Open(name)) return 0xDEAD;
  b.StoreMoves(NewPosition(), kBoard9, {{MakeMove(2, 2), 0, kPosMoveFromGames, 41}});
  b.CommentBase().Write(1, Text("changed comment").get());
  b.CommentBase().Write(41, Text("new comment").get());
  b.LetterBase().Write(2, Text("new source").get());
  SetFaultHook(hook);
  b.Close();
  SetFaultHook({});
  return b.TakeErrors();
}

enum class TState { kOld, kNew };

// Opens the base as the next program would, checks it whole and returns which state it holds.
TState CheckedState(const std::string& name, const TImages& oldImages, const std::string& where) {
  TPositionBase b;
  b.SetReadOnly(false);
  EXPECT_TRUE(b.Open(name)) << where;
  EXPECT_EQ(b.TakeErrors(), 0u) << where;
  b.Close();
  for (const char* ext : kExts) EXPECT_FALSE(FileExists(name + ext + ".saving")) << where << ext;
  EXPECT_FALSE(FileExists(name + ".pos.commit")) << where;

  const TImages now = Images(name);
  int old = 0;
  for (std::size_t i = 0; i < now.size(); ++i) old += now[i] == oldImages[i] ? 1 : 0;
  EXPECT_TRUE(old == 0 || old == 5) << where << ": " << old << " of the five files are old";

  b.SetReadOnly(true);
  EXPECT_TRUE(b.Open(name)) << where;
  EXPECT_TRUE(CheckPositionBase(b).Ok()) << where;
  TPosMoves moves;
  const bool isNew = b.FindMoves(NewPosition(), kBoard9, moves);
  EXPECT_EQ(isNew, old == 0) << where;
  if (isNew) {
    EXPECT_EQ(TextOf(b.CommentBase(), 41), "new comment") << where;
    EXPECT_EQ(TextOf(b.CommentBase(), 1), "changed comment") << where;
    EXPECT_EQ(TextOf(b.LetterBase(), 2), "new source") << where;
  } else {
    EXPECT_EQ(TextOf(b.CommentBase(), 1), "old comment 1") << where;
    EXPECT_EQ(TextOf(b.LetterBase(), 2), "") << where;
  }
  for (std::uint32_t id = 2; id < 40; ++id)
    EXPECT_EQ(TextOf(b.CommentBase(), id), "old comment " + std::to_string(id)) << where;
  EXPECT_EQ(b.TakeErrors(), 0u) << where;
  b.Close();
  return isNew ? TState::kNew : TState::kOld;
}

TEST(PositionBaseCommit, KillAtEveryFileOperationOfTheSave) {
  int olds = 0, news = 0;
  bool completed = false;
  for (int n = 1; n < 600 && !completed; ++n) {
    const std::string base = FreshBase("Killed");
    const TImages oldImages = MakeOldBase(base);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int count = 0;
      SaveNewState(base, [&](TFileOp) {
        if (++count == n) kill(getpid(), SIGKILL);
        return 0;
      });
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    completed = WIFEXITED(status);
    const std::string where = "killed at operation " + std::to_string(n);
    const TState s = CheckedState(base, oldImages, where);
    (s == TState::kOld ? olds : news)++;
    if (completed) {
      EXPECT_EQ(s, TState::kNew) << where;
    }
    if (testing::Test::HasFailure()) break;
  }
  EXPECT_TRUE(completed);
  EXPECT_GT(olds, 20);  // the kills really fell inside the save
  EXPECT_GT(news, 1);   // and after the commit record
}

TEST(PositionBaseCommit, KillAtRandomTimes) {
  const std::string base = FreshBase("Timed");
  TImages oldImages = MakeOldBase(base);
  const auto start = std::chrono::steady_clock::now();
  SaveNewState(base, {});
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
  std::mt19937 rng(11);
  std::uniform_int_distribution<long> delay(0, std::max<long>(took, 1000));
  for (int i = 0; i < 25; ++i) {
    const std::string name = FreshBase("Timed");
    oldImages = MakeOldBase(name);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SaveNewState(name, {});
      _exit(0);
    }
    usleep(static_cast<useconds_t>(delay(rng)));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    CheckedState(name, oldImages, "run " + std::to_string(i));
    if (testing::Test::HasFailure()) break;
  }
}

TEST(PositionBaseCommit, FailEachOperationOnceAndForGood) {
  for (const TFileOp op : {TFileOp::foWrite, TFileOp::foSync, TFileOp::foRename,
                           TFileOp::foTruncate, TFileOp::foOpen}) {
    for (const bool forGood : {false, true}) {
      bool fired = true;
      for (int n = 1; fired; ++n) {
        ASSERT_LT(n, 300);
        const std::string name = FreshBase("Faults");
        const TImages oldImages = MakeOldBase(name);
        int count = 0;
        fired = false;
        const std::uint32_t errors = SaveNewState(name, [&](TFileOp o) {
          if (o != op) return 0;
          ++count;
          if (count == n || (forGood && count > n)) {
            fired = true;
            return EIO;
          }
          return 0;
        });
        const std::string where = "op " + std::to_string(static_cast<int>(op)) + " n " +
                                  std::to_string(n) + (forGood ? " for good" : " once");
        if (fired) {
          EXPECT_TRUE(errors & ErrIO) << where;
        } else {
          EXPECT_EQ(errors, 0u) << where;
        }
        const TState s = CheckedState(name, oldImages, where);
        if (!fired) {
          EXPECT_EQ(s, TState::kNew) << where;
        }
        if (testing::Test::HasFailure()) return;
      }
    }
  }
}

TEST(PositionBaseCommit, AnUnchangedBaseIsNeverWritten) {
  const std::string name = FreshBase("Quiet");
  const TImages before = MakeOldBase(name);
  int operations = 0;
  {
    TPositionBase b;
    b.SetReadOnly(false);
    ASSERT_TRUE(b.Open(name));
    TPosMoves moves;
    EXPECT_TRUE(b.FindMoves(OldPosition(), kBoard9, moves));
    EXPECT_EQ(TextOf(b.CommentBase(), 1), "old comment 1");
    SetFaultHook([&](TFileOp op) {
      if (op != TFileOp::foRead && op != TFileOp::foMap) ++operations;
      return 0;
    });
    b.Close();
    SetFaultHook({});
  }
  EXPECT_EQ(Images(name), before);
  EXPECT_LE(operations, 5) << "closing an unchanged base writes or syncs";
}

// A commit record names its set; a torn one is discarded with the side files, a complete one
// is finished even when some renames already ran.
TEST(FileCommit, RecoveryRollsForwardACompleteRecordAndDiscardsATornOne) {
  const std::string a = test::TempPath("a.dat"), b = test::TempPath("b.dat");
  const std::string record = test::TempPath("set.commit");
  const auto reset = [&] {
    test::WriteFileBytes(a, {1});
    test::WriteFileBytes(b, {2});
    test::WriteFileBytes(a + ".saving", {11});
    test::WriteFileBytes(b + ".saving", {22});
  };
  reset();
  ASSERT_EQ(CommitFiles(record, {{a + ".saving", a}, {b + ".saving", b}}),
            TCommitResult::crCommitted);
  EXPECT_EQ(test::ReadFileBytes(a), TBytes{11});
  EXPECT_EQ(test::ReadFileBytes(b), TBytes{22});
  EXPECT_FALSE(FileExists(record));

  // Stop after the record: its bytes are those of a commit that was cut off after one rename.
  reset();
  SetFaultHook(
      [n = 0](TFileOp op) mutable { return op == TFileOp::foRename && ++n == 2 ? EIO : 0; });
  EXPECT_EQ(CommitFiles(record, {{a + ".saving", a}, {b + ".saving", b}}),
            TCommitResult::crPending);
  SetFaultHook({});
  const TBytes complete = test::ReadFileBytes(record);
  EXPECT_EQ(ReadCommitRecord(record).size(), 2u);
  EXPECT_EQ(RecoverCommit(record, {a + ".saving", b + ".saving"}, true),
            TRecoverResult::rrRolledForward);
  EXPECT_EQ(test::ReadFileBytes(a), TBytes{11});
  EXPECT_EQ(test::ReadFileBytes(b), TBytes{22});

  for (std::size_t cut = 0; cut + 1 < complete.size(); cut += 7) {
    reset();
    test::WriteFileBytes(record, TBytes(complete.begin(), complete.begin() + cut));
    EXPECT_EQ(RecoverCommit(record, {a + ".saving", b + ".saving"}, false),
              TRecoverResult::rrNothing)
        << cut;  // a reader leaves a torn record alone
    EXPECT_EQ(RecoverCommit(record, {a + ".saving", b + ".saving"}, true),
              TRecoverResult::rrDiscarded)
        << cut;
    EXPECT_EQ(test::ReadFileBytes(a), TBytes{1}) << cut;
    EXPECT_EQ(test::ReadFileBytes(b), TBytes{2}) << cut;
    EXPECT_FALSE(FileExists(a + ".saving") || FileExists(b + ".saving") || FileExists(record));
  }
}

}  // namespace
}  // namespace kessaro
