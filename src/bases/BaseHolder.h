#pragma once
// The base holder owns every database object: nets, statistics, sub bases, sub-nets, sort
// indexes, the position base and the variations base. Each setter reloads its kind of file
// when its folder text changed; Analyze then drops duplicates, binds every sub-net to its
// net, sub base and statistic by the identities stored in the files, orders the lists and
// picks the default fuseki and joseki sub-nets. Files that do not open, verify or bind are
// dropped silently.
//
// Folder lists are separated by ";" and searched recursively. Sort indexes are made through a
// factory hook, so that the holder depends only on what it needs of them; without the hook
// none is loaded.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bases/HolderSortIndex.h"
#include "bases/Nety.h"
#include "bases/PositionBase.h"
#include "bases/Statistic.h"
#include "bases/SubBase.h"
#include "bases/SubNety.h"
#include "bases/VarsBase.h"

namespace kessaro {

class TRegistryKey;

// A plain menu tree that the desktop program turns into menus.
struct TMenuEntry {
  enum TKind { meSubmenu, meItem, meSeparator };
  TKind Kind = meSubmenu;
  std::string Caption;
  std::function<void()> Action;
  std::vector<TMenuEntry> Children;
};

// The folder texts of the holder as the settings hold them.
struct THolderDirs {
  std::string GameBaseDir, PositionDir, VarsDir, IndexDirs, NetDirs, SubDirs;
};

class TBaseHolder {
 public:
  using TProgress = std::function<void(const std::string& text)>;
  using TSortIndexFactory = std::function<std::unique_ptr<THolderSortIndex>(const std::string&)>;

  TBaseHolder();
  ~TBaseHolder();
  TBaseHolder(const TBaseHolder&) = delete;
  TBaseHolder& operator=(const TBaseHolder&) = delete;

  void SetGameBaseDir(const std::string& text);
  void SetPositionDir(const std::string& text);
  void SetVarsDir(const std::string& text);
  void SetIndexDirs(const std::string& text);
  void SetNetDirs(const std::string& text);
  void SetSubDirs(const std::string& text);
  // A holder that only looks (set before the folders): the position base is opened read-only
  // and nothing of the home is written or created.
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  bool ReadOnly() const { return readOnly_; }
  void LoadStatistics();
  void Analyze();

  // The start order (game base, position base, variations base, indexes, nets, sub bases,
  // then Analyze); after the options dialog another order, with Analyze only when changed.
  void ApplyStartDirs(const THolderDirs& dirs);
  void ApplyOptionsDirs(const THolderDirs& dirs);
  // Whether applying these folder texts would load anything anew (the game base folder
  // alone loads nothing); nothing is loaded.
  bool WouldChange(const THolderDirs& dirs) const;
  THolderDirs Dirs() const;

  // Calls onOpenNet / onOpenGamesList with the sub-net or sub base of the clicked item.
  TMenuEntry BuildMenu(const std::function<void(TSubNety*)>& onOpenNet,
                       const std::function<void(TSubBase*)>& onOpenGamesList) const;

  std::size_t SubBaseCount() const { return subBases_.size(); }
  TSubBase* SubBaseAt(std::size_t i) const { return i < subBases_.size() ? subBases_[i] : nullptr; }
  std::size_t SubNetCount() const { return subNets_.size(); }
  TSubNety* SubNetAt(std::size_t i) const { return i < subNets_.size() ? subNets_[i] : nullptr; }
  std::vector<THolderSortIndex*> SortIndexesOf(std::size_t i) const;
  // The games-list sort indexes of sub base i, in the same order.
  std::vector<TBaseSorting*> SortingsOf(std::size_t i) const;
  TSubNety* FusekiNet() const { return fusekiNet_; }
  TSubNety* JosekiNet() const { return josekiNet_; }
  // Opened writable (unless the holder is read-only) and mapped; saving is enabled before it
  // is freed, so that everything stored during the run is written at close, and a base
  // without changes is not written at all.
  TPositionBase* PositionBase() const { return positionBase_.get(); }
  TVarsBase* VarsBase() const { return varsBase_.get(); }
  TSubBase* EmptySubBase() const { return emptySubBase_.get(); }
  TSubBase* VarsSubBase() const { return varsSubBase_.get(); }
  TSubBase* GameSubBase() const { return gameSubBase_.get(); }
  TSubBase* UserSubBase() const { return userSubBase_.get(); }
  TSubBase* AllSubBase() const { return allSubBase_.get(); }
  const std::vector<std::unique_ptr<TNetyFile>>& Nets() const { return nets_; }
  const std::vector<std::unique_ptr<TStatistic>>& Statistics() const { return statistics_; }
  const std::vector<std::unique_ptr<TSubBase>>& LoadedSubBases() const { return loadedSubBases_; }
  bool Changed() const { return changed_; }
  const std::string& PositionDir() const { return positionDir_; }
  const std::string& VarsDir() const { return varsDir_; }
  const std::string& NetDirs() const { return netDirs_; }
  const std::string& SubDirs() const { return subDirs_; }
  const std::string& IndexDirs() const { return indexDirs_; }
  const std::string& GameBaseDir() const { return gameBaseDir_; }

  TProgress OnProgress;
  // Opens one sort index file; the real index reader unless a test replaces it.
  TSortIndexFactory SortIndexFactory;
  // Given to the position base: asked when saving finds too little free disk space.
  TPositionBase::TDiskFullHandler DiskFullHandler;
  // Given to the position base's comment and letter bases: asked whether to restore a missing
  // file from its backup (the workspace asks the user). Without it nothing is restored.
  TStringBase::TAskRestore AskRestore;
  // Menu captions go through the interface strings; identity without a translator.
  std::function<std::string(const std::string&)> Translate;

 private:
  void Report(const std::string& text) const;
  // Forgets every list that refers into objects a setter is about to free.
  void ForgetBindings();
  void AddSubNetItems(TMenuEntry& menu, TSubNety* net,
                      const std::function<void(TSubNety*)>& onOpenNet) const;
  std::string Tr(const std::string& text) const { return Translate ? Translate(text) : text; }

  bool changed_ = false;
  bool readOnly_ = false;
  TGameSource* gameBase_ = nullptr;  // no setter fills it
  TGameSource* userBase_ = nullptr;  // never filled
  std::unique_ptr<TVarsBase> varsBase_;
  std::unique_ptr<TPositionBase> positionBase_;
  std::unique_ptr<TSubBase> emptySubBase_, gameSubBase_, userSubBase_, varsSubBase_, allSubBase_;
  TSubNety* josekiNet_ = nullptr;
  std::vector<std::unique_ptr<TNetyFile>> nets_;
  std::vector<std::unique_ptr<TStatistic>> statistics_;
  std::vector<std::vector<std::unique_ptr<THolderSortIndex>>> sortIndexes_;
  std::vector<std::unique_ptr<TSubBase>> loadedSubBases_;
  std::vector<TSubBase*> subBases_;
  std::vector<std::unique_ptr<TSubNety>> loadedSubNets_;
  std::vector<std::unique_ptr<TSubNety>> builtSubNets_;
  std::vector<TSubNety*> subNets_;
  TSubNety* fusekiNet_ = nullptr;
  std::string positionDir_, varsDir_, netDirs_, subDirs_, indexDirs_, gameBaseDir_;
};

// The directory search of every loader: dirList split at ";", each folder (an empty one is
// the current folder) searched for regular files matching mask, subfolders too when
// recursive. The list stays sorted case-insensitively without duplicates; returns the number
// of entries added.
std::size_t FindFiles(const std::string& dirList, const std::string& mask, bool recursive,
                      std::vector<std::string>& list);

// The holder's settings values with their defaults under the user home; the older numbered
// net and sub base values are merged into the lists and deleted.
THolderDirs ReadHolderDirs(TRegistryKey& key);
void WriteHolderDirs(TRegistryKey& key, const THolderDirs& dirs);
// The folders of a user home: "Game Base", "User Game Base", "Vars Base", "Index", "Net",
// "Sub Base".
THolderDirs DefaultHolderDirs(const std::string& home);

}  // namespace kessaro
