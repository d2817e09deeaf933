#include "bases/BaseHolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "bases/HolderHome.h"
#include "platform/Registry.h"
#include "platform/UserHome.h"
#include "records/BoardFormFunc.h"

namespace kessaro {
namespace {

namespace fs = std::filesystem;

// A sort index for the holder: a text file holding the sub base identity and the order key.
class TFakeSortIndex : public THolderSortIndex {
 public:
  TFakeSortIndex(std::uint32_t id, std::uint32_t key, std::string path)
      : id_(id), key_(key), Path(std::move(path)) {}
  std::uint32_t SubBaseIdentity() const override { return id_; }
  std::uint32_t OrderKey() const override { return key_; }
  std::uint32_t id_, key_;
  std::string Path;
};

std::unique_ptr<THolderSortIndex> OpenFakeIndex(const std::string& path) {
  std::ifstream in(path);
  std::uint32_t id = 0, key = 0;
  if (!(in >> id >> key)) return nullptr;
  return std::make_unique<TFakeSortIndex>(id, key, path);
}

void WriteIndex(const std::string& path, std::uint32_t id, std::uint32_t key) {
  std::ofstream(path) << id << " " << key << "\n";
}

class BaseHolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = test::BuildHolderHome("home");
    WriteIndex(home_.Home + "/Index/b.sbx", home_.VarsSubBaseIdentity, 5);
    WriteIndex(home_.Home + "/Index/a.sbx", home_.VarsSubBaseIdentity, 1);
    WriteIndex(home_.Home + "/Index/orphan.sbx", 12345, 0);
    holder_.SortIndexFactory = OpenFakeIndex;
    holder_.OnProgress = [this](const std::string& text) { progress_.push_back(text); };
  }

  TSubBase* SubBaseWithIdentity(std::uint32_t id) {
    for (std::size_t i = 0; i < holder_.SubBaseCount(); ++i)
      if (holder_.SubBaseAt(i)->Identity() == id) return holder_.SubBaseAt(i);
    return nullptr;
  }
  std::size_t SubBaseIndex(std::uint32_t id) {
    for (std::size_t i = 0; i < holder_.SubBaseCount(); ++i)
      if (holder_.SubBaseAt(i)->Identity() == id) return i;
    return holder_.SubBaseCount();
  }

  test::THolderHome home_;
  TBaseHolder holder_;
  std::vector<std::string> progress_;
};

TEST_F(BaseHolderTest, LoadsBindsAndDropsWhatDoesNotBelong) {
  holder_.ApplyStartDirs(DefaultHolderDirs(home_.Home));
  EXPECT_EQ(progress_,
            (std::vector<std::string>{"Loading Position Base", "Loading Vars Base",
                                      "Loading Indexes", "Loading Fuseki", "Loading Sub Bases",
                                      "Analyzing Base", "Loading Statistic"}));
  // Duplicate, hidden and broken nets are dropped; the duplicate statistic too.
  EXPECT_EQ(holder_.Nets().size(), 2u);
  EXPECT_EQ(holder_.Statistics().size(), 1u);
  // The sub base of another variations base does not bind.
  EXPECT_EQ(holder_.LoadedSubBases().size(), 1u);
  EXPECT_EQ(holder_.SubBaseCount(), 2u);  // the empty one and vars.sbs
  // The duplicate sub-net and the one whose net is missing are dropped.
  ASSERT_EQ(holder_.SubNetCount(), 2u);
  ASSERT_NE(holder_.JosekiNet(), nullptr);
  EXPECT_EQ(holder_.JosekiNet()->Identity(), home_.JosekiIdentity);
  EXPECT_NE(holder_.JosekiNet()->Stats(), nullptr);
  ASSERT_NE(holder_.FusekiNet(), nullptr);
  EXPECT_EQ(holder_.FusekiNet()->Identity(), home_.FusekiIdentity);
  EXPECT_EQ(holder_.FusekiNet()->Selection(), nullptr);  // released after counting
  EXPECT_FALSE(holder_.Changed());
  EXPECT_NE(holder_.PositionBase(), nullptr);  // created in the empty "User Game Base"

  // The indexes of the variations sub base, ordered by key; the orphan one is freed.
  const auto indexes = holder_.SortIndexesOf(SubBaseIndex(home_.VarsSubBaseIdentity));
  ASSERT_EQ(indexes.size(), 2u);
  EXPECT_EQ(indexes[0]->OrderKey(), 1u);
  EXPECT_EQ(indexes[1]->OrderKey(), 5u);
  EXPECT_TRUE(holder_.SortIndexesOf(99).empty());

  // The joseki sub-net expands with statistics and continues its game from the variations.
  TSequence* root = NewNodeUnder(nullptr);
  holder_.JosekiNet()->ExpandRoot(root);
  TSequence* n2 = root->FirstChild->NextSibling;
  holder_.JosekiNet()->ExpandNode(n2);
  EXPECT_EQ(static_cast<TNetNodeData*>(n2->FirstChild->Data)->SumStats, test::Stat(5, 1));
  holder_.JosekiNet()->ExpandNode(n2->FirstChild);
  TSequence* games = n2->FirstChild->FirstChild->NextSibling->NextSibling;
  holder_.JosekiNet()->ExpandNode(games);
  ASSERT_NE(games->FirstChild, nullptr);
  EXPECT_EQ(games->FirstChild->Point, MakeMove(4, 3));
  ReleaseTree(root);
}

TEST_F(BaseHolderTest, ChangingOnlyTheNetFolderReanalyzesWithTheIndexesKept) {
  THolderDirs dirs = DefaultHolderDirs(home_.Home);
  holder_.ApplyStartDirs(dirs);
  progress_.clear();
  holder_.ApplyOptionsDirs(dirs);  // nothing changed: nothing runs
  EXPECT_TRUE(progress_.empty());

  fs::create_directories(home_.Home + "/More");
  dirs.NetDirs += ";" + home_.Home + "/More";
  holder_.ApplyOptionsDirs(dirs);
  EXPECT_EQ(progress_,
            (std::vector<std::string>{"Loading Fuseki", "Analyzing Base", "Loading Statistic"}));
  ASSERT_NE(holder_.JosekiNet(), nullptr);
  EXPECT_EQ(holder_.SortIndexesOf(SubBaseIndex(home_.VarsSubBaseIdentity)).size(), 2u);

  // Without the net folder the sub-nets cannot bind and are dropped.
  dirs.NetDirs = home_.Home + "/More";
  holder_.ApplyOptionsDirs(dirs);
  EXPECT_EQ(holder_.SubNetCount(), 0u);
  EXPECT_EQ(holder_.JosekiNet(), nullptr);
  EXPECT_EQ(holder_.FusekiNet(), nullptr);
}

TEST_F(BaseHolderTest, PositionBaseIsSavedWhenReplacedOrFreed) {
  const std::string dir = home_.Home + "/User Game Base";
  const TRegionWord corner = MakeRegion(rkCorner, 7, 7);
  TMatrix position(49, 0);
  position[8] = kCellBlack;
  const TPosMoves moves = {{MakeMove(2, 3), 13, 0, 0}};
  {
    TBaseHolder holder;
    holder.SetPositionDir(dir);
    ASSERT_NE(holder.PositionBase(), nullptr);
    EXPECT_TRUE(holder.PositionBase()->StoreMoves(position, corner, moves));
    holder.SetPositionDir("");  // saved and freed
    EXPECT_EQ(holder.PositionBase(), nullptr);
    EXPECT_TRUE(fs::exists(dir + "/Data.pos"));
    holder.SetPositionDir(dir + "/");
    TPosMoves found;
    ASSERT_NE(holder.PositionBase(), nullptr);
    EXPECT_TRUE(holder.PositionBase()->FindMoves(position, corner, found));
    EXPECT_EQ(found, moves);
    EXPECT_TRUE(holder.PositionBase()->StoreMoves(position, corner, {}));
  }
  TBaseHolder holder;
  holder.SetPositionDir(dir);
  TPosMoves found;
  ASSERT_NE(holder.PositionBase(), nullptr);
  holder.PositionBase()->FindMoves(position, corner, found);
  EXPECT_TRUE(found.empty());  // the holder saved the change at its end
  holder.SetPositionDir(home_.Home + "/missing/folder");
  EXPECT_EQ(holder.PositionBase(), nullptr);
}

TEST_F(BaseHolderTest, WouldChangeAnswersWithoutLoadingAndAccessorsGiveEachKind) {
  const THolderDirs dirs = DefaultHolderDirs(home_.Home);
  holder_.ApplyStartDirs(dirs);
  EXPECT_NE(holder_.EmptySubBase(), nullptr);
  EXPECT_NE(holder_.VarsSubBase(), nullptr);
  EXPECT_EQ(holder_.GameSubBase(), nullptr) << "no game base is ever loaded";
  EXPECT_EQ(holder_.UserSubBase(), nullptr);
  EXPECT_EQ(holder_.AllSubBase(), nullptr);
  const std::size_t vars = SubBaseIndex(home_.VarsSubBaseIdentity);
  EXPECT_EQ(holder_.SortIndexesOf(vars).size(), 2u);
  EXPECT_TRUE(holder_.SortingsOf(vars).empty()) << "test doubles are no games-list indexes";

  progress_.clear();
  EXPECT_FALSE(holder_.WouldChange(dirs));
  THolderDirs changed = dirs;
  changed.GameBaseDir += "x";
  EXPECT_FALSE(holder_.WouldChange(changed)) << "the game base folder loads nothing";
  for (std::string THolderDirs::*field :
       {&THolderDirs::PositionDir, &THolderDirs::VarsDir, &THolderDirs::IndexDirs,
        &THolderDirs::NetDirs, &THolderDirs::SubDirs}) {
    changed = dirs;
    changed.*field += ";";
    EXPECT_TRUE(holder_.WouldChange(changed));
  }
  EXPECT_TRUE(progress_.empty()) << "asking loads nothing";
  EXPECT_EQ(holder_.Dirs().NetDirs, dirs.NetDirs);
}

TEST_F(BaseHolderTest, RestoreQuestionOfThePositionBaseStringsGoesThroughTheHolder) {
  const std::string dir = home_.Home + "/User Game Base";
  {
    TBaseHolder holder;
    holder.SetPositionDir(dir);
    ASSERT_NE(holder.PositionBase(), nullptr);
  }
  // Both string holders lost, their backups kept.
  for (const auto& [holderExt, backupExt] :
       {std::pair<std::string, std::string>{".str", ".sbk"}, {".ltr", ".lbk"}}) {
    ASSERT_TRUE(fs::exists(dir + "/Data" + holderExt)) << holderExt;
    fs::rename(dir + "/Data" + holderExt, dir + "/Data" + backupExt);
  }
  for (bool answer : {false, true}) {
    TBaseHolder holder;
    std::vector<std::string> asked;
    holder.AskRestore = [&](TStringBase&, const std::string& question) {
      asked.push_back(question);
      return answer;
    };
    holder.SetPositionDir(dir);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_NE(asked[0].find("Data.str"), std::string::npos);
    EXPECT_NE(asked[1].find("Data.ltr"), std::string::npos);
    if (!answer) {
      // Declined: new empty files were made; remove them so the next pass asks again.
      holder.SetPositionDir("");
      fs::remove(dir + "/Data.str");
      fs::remove(dir + "/Data.ltr");
    } else {
      EXPECT_TRUE(fs::exists(dir + "/Data.str"));
      EXPECT_TRUE(fs::exists(dir + "/Data.ltr"));
    }
  }
}

TEST_F(BaseHolderTest, MenuTreeOfSubBasesAndSubNets) {
  holder_.ApplyStartDirs(DefaultHolderDirs(home_.Home));
  holder_.Translate = [](const std::string& s) { return s == "Games List" ? "Liste" : s; };
  std::vector<TSubNety*> openedNets;
  std::vector<TSubBase*> openedLists;
  const TMenuEntry menu = holder_.BuildMenu([&](TSubNety* n) { openedNets.push_back(n); },
                                            [&](TSubBase* b) { openedLists.push_back(b); });
  ASSERT_EQ(menu.Children.size(), 2u);  // the separator, then the "Variations" submenu
  EXPECT_EQ(menu.Children[0].Kind, TMenuEntry::meSeparator);
  const TMenuEntry& vars = menu.Children[1];
  ASSERT_EQ(vars.Caption, "Variations");
  ASSERT_EQ(vars.Children.size(), 1u);
  const TMenuEntry& joseki = vars.Children[0];
  EXPECT_EQ(joseki.Caption, "Joseki");
  // "Games List", a separator, the submenus of both sub-nets, a closing separator.
  ASSERT_EQ(joseki.Children.size(), 5u);
  EXPECT_EQ(joseki.Children[0].Caption, "Liste");
  joseki.Children[0].Action();
  ASSERT_EQ(openedLists.size(), 1u);
  EXPECT_EQ(openedLists[0]->Identity(), home_.VarsSubBaseIdentity);
  EXPECT_EQ(joseki.Children[4].Kind, TMenuEntry::meSeparator);
  const TMenuEntry* corner = nullptr;
  for (const TMenuEntry& e : joseki.Children)
    if (e.Caption == "Joseki") corner = &e;
  ASSERT_NE(corner, nullptr);
  ASSERT_EQ(corner->Children.size(), 1u);
  EXPECT_EQ(corner->Children[0].Caption, "Corner joseki");
  corner->Children[0].Action();
  ASSERT_EQ(openedNets.size(), 1u);
  EXPECT_EQ(openedNets[0], holder_.JosekiNet());
}

TEST(HolderFindFiles, SortedWithoutDuplicatesAndRecursive) {
  const std::string root = test::TempPath("find");
  fs::create_directories(root + "/a/deep");
  for (const char* f : {"/B.net", "/a/c.net", "/a/deep/A.net", "/a/x.txt", "/a/deep/b.NET"})
    std::ofstream(root + f) << "x";
  std::vector<std::string> list;
  EXPECT_EQ(FindFiles(root + ";" + root + "/a/;" + root + "/a", "*.net", true, list), 3u);
  EXPECT_EQ(list,
            (std::vector<std::string>{root + "/a/c.net", root + "/a/deep/A.net", root + "/B.net"}));
  EXPECT_EQ(FindFiles(root, "*.net", true, list), 0u);  // all known already
  std::vector<std::string> flat;
  EXPECT_EQ(FindFiles(root + "/a", "*.net", false, flat), 1u);
  std::vector<std::string> none;
  EXPECT_EQ(FindFiles(root + "/missing", "*.net", true, none), 0u);
}

TEST(HolderSettings, DefaultsUnderTheUserHomeAndOlderValuesMerged) {
  TMemoryRegistry key;
  const THolderDirs def = ReadHolderDirs(key);
  EXPECT_EQ(def.NetDirs, UserHomeDir() + "/Net");
  EXPECT_EQ(def.SubDirs, UserHomeDir() + "/Sub Base");
  EXPECT_EQ(def.PositionDir, UserHomeDir() + "/User Game Base");

  WriteString(key, "Net Path", "/n1");
  WriteString(key, "Net Path 0", "/n2");
  WriteString(key, "Net Path 3", "/n1");  // already contained
  WriteString(key, "Sub Path 1", "/s2");
  WriteString(key, "Vars Base Dir", "");
  const THolderDirs dirs = ReadHolderDirs(key);
  EXPECT_EQ(dirs.NetDirs, "/n1;/n2");
  EXPECT_EQ(dirs.SubDirs, UserHomeDir() + "/Sub Base;/s2");
  EXPECT_EQ(dirs.VarsDir, "");
  EXPECT_FALSE(key.QueryValue("Net Path 0"));
  EXPECT_FALSE(key.QueryValue("Sub Path 1"));
  WriteHolderDirs(key, dirs);
  EXPECT_EQ(ReadString(key, "Sub Path", ""), dirs.SubDirs);
}

}  // namespace
}  // namespace kessaro
