#include "bases/BuildFiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>

#include "bases/BaseSorting.h"
#include "bases/Nety.h"
#include "bases/Statistic.h"
#include "bases/SubBase.h"
#include "bases/SubNety.h"
#include "bases/VarsBase.h"
#include "platform/DateTime.h"

namespace kessaro {

namespace fs = std::filesystem;

namespace {

constexpr const char* kVarsBase = "Vars Base/Vars";

// The steps of the writing stage, in the order they run; each returns false with the error
// set. The variations base may be written on a thread of its own, joined before the sub base
// reads it back and at the latest when the writer goes.
class TFileWriter {
 public:
  TFileWriter(const std::string& folder, const TBuildContents& contents)
      : folder_(folder),
        c_(contents),
        name_(contents.Options.Name),
        netFile_("Net/" + name_ + ".net"),
        sbsFile_("Sub Base/" + name_ + ".sbs"),
        snsFile_("Sub Base/" + name_ + ".sns"),
        stcFile_("Sub Base/" + name_ + ".stc") {}
  ~TFileWriter() { JoinVars(); }
  TFileWriter(const TFileWriter&) = delete;
  TFileWriter& operator=(const TFileWriter&) = delete;

  bool Write(const std::string& homeText, TWrittenFiles& written) {
    if (!CreateFolders(homeText)) return false;
    now_ = Now();
    StartVars();
    if (!WriteNet() || !WriteStatistic()) return false;
    JoinVars();
    if (!varsError_.empty()) return Fail(varsError_);
    if (!WriteSubBaseAndSubNet() || !CloseStatistic() || !WriteSortIndexes()) return false;
    written.Files = {netFile_, sbsFile_, snsFile_, stcFile_};
    for (const char* ext : {".vpb", ".vim", ".vdm"})
      written.Files.push_back(std::string(kVarsBase) + ext);
    written.Files.insert(written.Files.end(), indexFiles_.begin(), indexFiles_.end());
    written.NetRecords = netRecords_;
    return true;
  }

  const std::string& Error() const { return error_; }

 private:
  bool Fail(const std::string& text) {
    error_ = text;
    return false;
  }

  bool CreateFolders(const std::string& homeText) {
    std::error_code ec;
    for (const char* dir : {"Net", "Sub Base", "Vars Base", "Index", "User Game Base"}) {
      fs::create_directories(folder_ + dir, ec);
      if (ec) return Fail("cannot write into " + homeText + ": " + ec.message());
    }
    return true;
  }

  void StartVars() {
    if (c_.Options.Jobs > 1)
      varsWriter_ = std::thread([this] { WriteVars(); });
    else
      WriteVars();
  }
  void JoinVars() {
    if (varsWriter_.joinable()) varsWriter_.join();
  }
  // Sets varsError_ only: it may run on the thread of its own.
  void WriteVars() {
    TVarsBase vars;
    vars.SetReadOnly(false);
    if (!vars.Open(folder_ + kVarsBase)) {
      varsError_ = "cannot create the variations base";
      return;
    }
    const TMatrix empty(361, kCellEmpty);
    for (std::uint32_t g : c_.Layout.Referenced) {
      if (vars.AppendVariation(empty, MakeRegion(rkWholeBoard, 19, 19), c_.Games[g].Moves) == 0) {
        varsError_ = "cannot write the variations base";
        return;
      }
    }
    vars.Close();
  }

  bool WriteNet() {
    const int w = c_.Options.RegionWidth, h = c_.Options.RegionHeight;
    TNetyFile net;
    net.SetReadOnly(false);
    if (!net.CreateNew(folder_ + netFile_)) return Fail("cannot create " + netFile_);
    net.Header().SetCreated(now_);
    net.Header().SetRegion(rkCorner, w, h);
    net.Header().SetStartPosition(TMatrix(static_cast<std::size_t>(w * h), kCellEmpty));
    net.Header().SetNetFlags(netOffered | netColourInversion);
    net.Header().SetDescription("Corner joseki of " + std::to_string(c_.Counts.GamesUsed) +
                                " games (" + std::to_string(c_.Counts.Corners) + " corners of " +
                                std::to_string(w) + " x " + std::to_string(h) + ") from " +
                                std::to_string(c_.Counts.FilesRead) +
                                " SGF files; followed while at least " +
                                std::to_string(c_.Options.MinGames) + " games play on");
    net.ComputeStartSymmetry();
    for (const NetRecord& n : c_.Layout.Nodes) net.WriteNode(n);
    for (const auto& [record, kind] : c_.Layout.Extra) net.WriteRecord(record, kind);
    netRecords_ = net.NodeCount();
    const std::uint32_t errors = net.TakeErrors();
    net.Close();
    if (errors != 0) return Fail("cannot write " + netFile_);
    return true;
  }

  // The statistic stays open until the sub-net, its owner, exists.
  bool WriteStatistic() {
    stats_.SetReadOnly(false);
    stats_.Open(folder_ + stcFile_);
    if (!stats_.Active()) return Fail("cannot create " + stcFile_);
    stats_.SetCounterCount(kStatCategories);
    stats_.WriteRecord(0, c_.Graph.RootStats());
    const auto& edges = c_.Graph.Edges();
    const std::uint32_t moveNodes = c_.Layout.MoveNodes();
    for (std::uint32_t r = 1; r <= moveNodes; ++r)
      stats_.WriteRecord(r, edges[c_.Layout.RecordEdge[r - 1]].Stats);
    // Junctions and game references count nothing, but every record has its entry.
    if (netRecords_ > moveNodes) stats_.WriteRecord(netRecords_, StatRecord{});
    return true;
  }

  bool CloseStatistic() {
    stats_.SetOwnerIdentity(subNetIdentity_);
    const std::uint32_t errors = stats_.TakeErrors();
    stats_.Close();
    if (errors != 0) return Fail("cannot write " + stcFile_);
    return true;
  }

  // The sub base over the variations base and the sub-net over it and the net, each created,
  // closed and read back for its identity.
  bool WriteSubBaseAndSubNet() {
    TVarsBase vars;
    TNetyFile net;
    if (!vars.Open(folder_ + kVarsBase) || !net.Open(folder_ + netFile_))
      return Fail("cannot read back the net and the variations base");
    {
      TSubBase sub;
      sub.SetReadOnly(false);
      if (!sub.CreateNew(folder_ + sbsFile_) || !sub.Bind(nullptr, nullptr, &vars))
        return Fail("cannot create " + sbsFile_);
      sub.SetMenuName("Variations\\" + name_);
      sub.Close();
    }
    TSubBase sub;
    if (!sub.Open(folder_ + sbsFile_)) return Fail("cannot read back " + sbsFile_);
    subBaseIdentity_ = sub.Identity();
    std::int64_t totalMoves = 0;
    for (const TCornerSeq& s : c_.Seqs) totalMoves += static_cast<std::int64_t>(s.Moves.size());
    {
      TSubNety subNet;
      subNet.SetReadOnly(false);
      if (!subNet.CreateNew(folder_ + snsFile_) || !subNet.Attach(&sub, &net, nullptr))
        return Fail("cannot create " + snsFile_);
      subNet.DropSelection();
      subNet.SetMenuPath("Joseki\\" + name_);
      subNet.SetNetName(name_);
      subNet.SetTotals(static_cast<std::int64_t>(c_.Seqs.size()),
                       static_cast<std::int64_t>(c_.Counts.GamesUsed), totalMoves);
      subNet.Close();
    }
    TSubNety subNet;
    if (!subNet.Open(folder_ + snsFile_)) return Fail("cannot read back " + snsFile_);
    subNetIdentity_ = subNet.Identity();
    return true;
  }

  // The games of the variations base in key order (the same keys in the order of their
  // variation numbers).
  bool WriteSortIndexes() {
    const std::vector<std::uint32_t>& referenced = c_.Layout.Referenced;
    for (std::size_t i = 0; i < kBuildSortIndexes; ++i) {
      std::vector<std::uint32_t> order(referenced.size());
      for (std::uint32_t k = 0; k < order.size(); ++k) order[k] = k;
      std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return c_.Games[referenced[a]].SortKeys[i] < c_.Games[referenced[b]].SortKeys[i];
      });
      indexFiles_.push_back(BuildSortIndexFile(name_, i));
      TBaseSorting index;
      index.SetReadOnly(false);
      if (!index.Open(folder_ + indexFiles_.back()))
        return Fail("cannot create " + indexFiles_.back());
      index.SetKeyElements(BuildSortIndexElements(i));
      index.SetOrderKey(static_cast<std::uint32_t>(i + 1));
      index.SetSubBaseIdentity(subBaseIdentity_);
      for (std::uint32_t k : order)
        index.AddEntry(kVarGameIdFirst + k + 1, c_.Games[referenced[k]].SortKeys[i]);
      index.Close();
      if (index.TakeErrors() != 0) return Fail("cannot write " + indexFiles_.back());
    }
    return true;
  }

  const std::string& folder_;
  const TBuildContents& c_;
  const std::string& name_;
  const std::string netFile_, sbsFile_, snsFile_, stcFile_;
  std::vector<std::string> indexFiles_;
  TDateTime now_{};
  std::thread varsWriter_;
  std::string varsError_;
  std::string error_;
  std::uint32_t netRecords_ = 0;
  std::uint32_t subBaseIdentity_ = 0, subNetIdentity_ = 0;
  TStatistic stats_;
};

}  // namespace

bool WriteBuildFiles(const std::string& folder, const std::string& homeText,
                     const TBuildContents& contents, TWrittenFiles& written, std::string& error) {
  TFileWriter writer(folder, contents);
  if (writer.Write(homeText, written)) return true;
  error = writer.Error();
  return false;
}

}  // namespace kessaro
