#include "bases/BaseHolder.h"

#include "bases/BaseSorting.h"
#include "bases/DatabaseBuilder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/UserHome.h"

namespace kessaro {
namespace {

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Case-insensitive order; names that differ only in case stay apart (this file system keeps
// them apart), ordered by their bytes.
bool PathLess(const std::string& a, const std::string& b) {
  const std::string la = Lower(a), lb = Lower(b);
  return la != lb ? la < lb : a < b;
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = text.find(';', from);
    parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) return parts;
    from = at + 1;
  }
}

std::string WithSlash(const std::string& dir) {
  if (dir.empty()) return dir;
  return dir.back() == '/' ? dir : dir + "/";
}

// The directory part of a menu path ("A\\B\\Item": "A", "B") and its last component.
void SplitMenuPath(const std::string& path, std::vector<std::string>& dirs, std::string& name) {
  dirs.clear();
  std::size_t from = 0;
  for (std::size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', from)) {
    dirs.push_back(path.substr(from, at - from));
    from = at + 1;
  }
  name = path.substr(from);
}

// Every file of the mask under the folders of the list that `open` opens, in path order.
template <class T, class Open>
std::vector<std::unique_ptr<T>> OpenEvery(const std::string& dirList, const char* mask, Open open) {
  std::vector<std::string> files;
  FindFiles(dirList, mask, true, files);
  std::vector<std::unique_ptr<T>> opened;
  for (const std::string& file : files) {
    auto item = std::make_unique<T>();
    if (open(*item, file)) opened.push_back(std::move(item));
  }
  return opened;
}

// Keeps the first item of each key, in order; the others are freed.
template <class T, class Key>
void KeepFirstOfEach(std::vector<std::unique_ptr<T>>& items, Key key) {
  std::vector<std::unique_ptr<T>> kept;
  for (auto& item : items) {
    const bool duplicate =
        std::any_of(kept.begin(), kept.end(), [&](const auto& k) { return key(*k) == key(*item); });
    if (!duplicate) kept.push_back(std::move(item));
  }
  items = std::move(kept);
}

}  // namespace

std::size_t FindFiles(const std::string& dirList, const std::string& mask, bool recursive,
                      std::vector<std::string>& list) {
  namespace fs = std::filesystem;
  std::sort(list.begin(), list.end(), PathLess);
  list.erase(std::unique(list.begin(), list.end()), list.end());
  std::size_t added = 0;
  const auto add = [&](const std::string& path) {
    const auto at = std::lower_bound(list.begin(), list.end(), path, PathLess);
    if (at != list.end() && *at == path) return;
    list.insert(at, path);
    ++added;
  };
  for (const std::string& segment : SplitList(dirList)) {
    // An explicit stack instead of recursion; folders met again through links are skipped.
    std::vector<std::string> pending{WithSlash(segment)};
    std::set<std::string> visited;
    while (!pending.empty()) {
      const std::string dir = pending.back();
      pending.pop_back();
      std::error_code ec;
      const fs::path folder = dir.empty() ? fs::path(".") : fs::path(dir);
      const std::string key = fs::weakly_canonical(folder, ec).string();
      if (ec || !visited.insert(key).second) continue;
      for (const std::string& name : kessaro::FindFiles(folder.string(), mask))
        add(fs::path(dir + name).lexically_normal().string());
      if (!recursive) continue;
      std::vector<std::string> subfolders;
      for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError) && !typeError)
          subfolders.push_back(dir + it->path().filename().string() + "/");
      }
      std::sort(subfolders.rbegin(), subfolders.rend());
      pending.insert(pending.end(), subfolders.begin(), subfolders.end());
    }
  }
  return added;
}

// ---------------------------------------------------------------------------------------------
// Settings

THolderDirs DefaultHolderDirs(const std::string& home) {
  const std::string h = WithSlash(home);
  return {h + "Game Base", h + "User Game Base", h + "Vars Base", h + "Index",
          h + "Net",       h + "Sub Base"};
}

namespace {

// A list value with its older numbered values merged in (each after a ";" unless already
// contained) and deleted.
std::string ReadMergedList(TRegistryKey& key, const std::string& name, const std::string& def) {
  std::string value = ReadString(key, name, def);
  for (char digit = '0'; digit <= '4'; ++digit) {
    const std::string older = name + " " + digit;
    if (!key.QueryValue(older)) continue;
    const std::string text = ReadString(key, older, "");
    if (!text.empty() && value.find(text) == std::string::npos)
      value = value.empty() ? text : value + ";" + text;
    key.DeleteValue(older);
  }
  return value;
}

}  // namespace

THolderDirs ReadHolderDirs(TRegistryKey& key) {
  const THolderDirs def = DefaultHolderDirs(UserHomeDir());
  THolderDirs dirs;
  dirs.GameBaseDir = ReadString(key, "Game Base Dir", def.GameBaseDir);
  dirs.PositionDir = ReadString(key, "User Game Base Dir", def.PositionDir);
  dirs.VarsDir = ReadString(key, "Vars Base Dir", def.VarsDir);
  dirs.IndexDirs = ReadString(key, "Index Path", def.IndexDirs);
  dirs.NetDirs = ReadMergedList(key, "Net Path", def.NetDirs);
  dirs.SubDirs = ReadMergedList(key, "Sub Path", def.SubDirs);
  return dirs;
}

void WriteHolderDirs(TRegistryKey& key, const THolderDirs& dirs) {
  WriteString(key, "Game Base Dir", dirs.GameBaseDir);
  WriteString(key, "User Game Base Dir", dirs.PositionDir);
  WriteString(key, "Vars Base Dir", dirs.VarsDir);
  WriteString(key, "Index Path", dirs.IndexDirs);
  WriteString(key, "Net Path", dirs.NetDirs);
  WriteString(key, "Sub Path", dirs.SubDirs);
}

// ---------------------------------------------------------------------------------------------
// TBaseHolder

TBaseHolder::TBaseHolder() : SortIndexFactory(OpenHolderSortIndex) {
  sortIndexes_.resize(1);
}

TBaseHolder::~TBaseHolder() {
  ForgetBindings();
  if (positionBase_ != nullptr) positionBase_->SetSaveEnabled(true);
  positionBase_.reset();
  varsBase_.reset();
  emptySubBase_.reset();
  gameSubBase_.reset();
  userSubBase_.reset();
  varsSubBase_.reset();
  allSubBase_.reset();
  nets_.clear();
  statistics_.clear();
  loadedSubBases_.clear();
  loadedSubNets_.clear();
  builtSubNets_.clear();
  sortIndexes_.clear();
}

void TBaseHolder::Report(const std::string& text) const {
  if (OnProgress) OnProgress(text);
}

void TBaseHolder::ForgetBindings() {
  subNets_.clear();
  subBases_.clear();
  fusekiNet_ = nullptr;
  josekiNet_ = nullptr;
}

void TBaseHolder::SetGameBaseDir(const std::string& text) {
  gameBaseDir_ = text;
}

void TBaseHolder::SetPositionDir(const std::string& text) {
  if (text == positionDir_) return;
  changed_ = true;
  positionDir_ = text;
  if (positionBase_ != nullptr) positionBase_->SetSaveEnabled(true);
  positionBase_.reset();
  if (!text.empty()) {
    Report("Loading Position Base");
    auto base = std::make_unique<TPositionBase>();
    base->SetReadOnly(readOnly_);
    base->SetMapped(true);
    if (DiskFullHandler) base->SetDiskFullHandler(DiskFullHandler);
    base->CommentBase().OnAskRestore = AskRestore;
    base->LetterBase().OnAskRestore = AskRestore;
    if (base->Open(WithSlash(text) + "Data")) positionBase_ = std::move(base);
  } else {
    userBase_ = nullptr;
    positionDir_.clear();
  }
}

void TBaseHolder::SetVarsDir(const std::string& text) {
  if (text == varsDir_) return;
  Report("Loading Vars Base");
  varsDir_ = text;
  changed_ = true;
  ForgetBindings();
  varsBase_.reset();
  if (!text.empty()) {
    auto vars = std::make_unique<TVarsBase>();
    vars->SetReadOnly(true);
    vars->SetMapped(true);
    if (vars->Open(WithSlash(text) + "Vars")) varsBase_ = std::move(vars);
  } else {
    varsDir_.clear();
  }
}

void TBaseHolder::SetIndexDirs(const std::string& text) {
  if (text == indexDirs_) return;
  changed_ = true;
  indexDirs_ = text;
  sortIndexes_.clear();
  sortIndexes_.resize(1);
  Report("Loading Indexes");
  std::vector<std::string> files;
  FindFiles(text, "*.sbx", true, files);
  if (!SortIndexFactory) return;
  for (const std::string& file : files)
    if (auto index = SortIndexFactory(file)) sortIndexes_[0].push_back(std::move(index));
}

void TBaseHolder::SetNetDirs(const std::string& text) {
  if (text == netDirs_) return;
  changed_ = true;
  ForgetBindings();
  nets_.clear();
  Report("Loading Fuseki");
  nets_ = OpenEvery<TNetyFile>(text, "*.net", [](TNetyFile& net, const std::string& file) {
    net.SetMapped(true);
    net.SetReadOnly(true);
    return net.Open(file) && (net.Header().NetFlags() & netOffered);
  });
  netDirs_ = text;
}

void TBaseHolder::LoadStatistics() {
  ForgetBindings();
  statistics_.clear();
  Report("Loading Statistic");
  const std::string dirs = netDirs_.empty() ? subDirs_ : netDirs_ + ";" + subDirs_;
  statistics_ = OpenEvery<TStatistic>(dirs, "*.stc", [](TStatistic& stat, const std::string& file) {
    stat.SetReadOnly(true);
    stat.Open(file);
    if (!stat.Active()) return false;
    stat.SetMapped(true);
    return true;
  });
}

void TBaseHolder::SetSubDirs(const std::string& text) {
  if (text == subDirs_) return;
  changed_ = true;
  ForgetBindings();
  loadedSubBases_.clear();
  Report("Loading Sub Bases");
  loadedSubBases_ = OpenEvery<TSubBase>(text, "*.sbs", [](TSubBase& sub, const std::string& file) {
    sub.SetReadOnly(true);
    return sub.Open(file) && sub.Active();
  });
  loadedSubNets_.clear();
  loadedSubNets_ = OpenEvery<TSubNety>(text, "*.sns", [](TSubNety& net, const std::string& file) {
    net.SetReadOnly(true);
    return net.Open(file) && net.Active();
  });
  subDirs_ = text;
}

namespace {

// A build interrupted while it moved its files into place is finished (or its folder
// removed) before anything of its home is loaded, so that the holder never reads a mix of
// old and new files. The homes are the folders above the database folders.
void FinishBuildsAbove(const THolderDirs& dirs) {
  std::set<std::string> homes;
  for (const std::string* list : {&dirs.VarsDir, &dirs.IndexDirs, &dirs.NetDirs, &dirs.SubDirs})
    for (std::string dir : SplitList(*list)) {
      while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
      const std::string home = std::filesystem::path(dir).parent_path().string();
      if (!home.empty()) homes.insert(home);
    }
  for (const std::string& home : homes) FinishInterruptedBuilds(home);
}

}  // namespace

void TBaseHolder::ApplyStartDirs(const THolderDirs& dirs) {
  FinishBuildsAbove(dirs);
  SetGameBaseDir(dirs.GameBaseDir);
  SetPositionDir(dirs.PositionDir);
  SetVarsDir(dirs.VarsDir);
  SetIndexDirs(dirs.IndexDirs);
  SetNetDirs(dirs.NetDirs);
  SetSubDirs(dirs.SubDirs);
  Analyze();
}

void TBaseHolder::ApplyOptionsDirs(const THolderDirs& dirs) {
  FinishBuildsAbove(dirs);
  SetGameBaseDir(dirs.GameBaseDir);
  SetPositionDir(dirs.PositionDir);
  SetVarsDir(dirs.VarsDir);
  SetNetDirs(dirs.NetDirs);
  SetSubDirs(dirs.SubDirs);
  SetIndexDirs(dirs.IndexDirs);
  if (changed_) Analyze();
}

void TBaseHolder::Analyze() {
  // 1.
  Report("Analyzing Base");
  changed_ = false;
  fusekiNet_ = nullptr;
  josekiNet_ = nullptr;
  // 2.
  LoadStatistics();
  // 3. The built-in sub bases.
  const auto build = [](TGameSource* g, TGameSource* u, TVarsSource* v) {
    auto sub = std::make_unique<TSubBase>();
    sub->Bind(g, u, v);
    return sub;
  };
  TVarsSource* vars = varsBase_.get();
  emptySubBase_ = build(nullptr, nullptr, nullptr);
  gameSubBase_ = gameBase_ != nullptr ? build(gameBase_, nullptr, nullptr) : nullptr;
  userSubBase_ = userBase_ != nullptr ? build(nullptr, userBase_, nullptr) : nullptr;
  varsSubBase_ = vars != nullptr ? build(nullptr, nullptr, vars) : nullptr;
  allSubBase_ = gameBase_ != nullptr && userBase_ != nullptr && vars != nullptr
                    ? build(gameBase_, userBase_, vars)
                    : nullptr;
  // 4. Loaded sub bases that bind, without duplicates.
  std::erase_if(loadedSubBases_,
                [&](const auto& sub) { return !sub->Bind(gameBase_, userBase_, vars); });
  KeepFirstOfEach(loadedSubBases_, [](const TSubBase& sub) { return sub.Identity(); });
  // 5. Every sub base offered.
  subBases_.clear();
  subBases_.push_back(emptySubBase_.get());
  for (TSubBase* s : {gameSubBase_.get(), userSubBase_.get(), allSubBase_.get()})
    if (s != nullptr) subBases_.push_back(s);
  for (auto& sub : loadedSubBases_) subBases_.push_back(sub.get());
  std::vector<std::uint32_t> subBaseIds;
  for (TSubBase* s : subBases_) subBaseIds.push_back(s->Identity());
  // 6. Nets: one of each identity and modification time.
  KeepFirstOfEach(nets_, [](const TNetyFile& net) {
    return std::pair(net.Identity(), net.Header().Modified());
  });
  // 7. Statistics: one per owner.
  KeepFirstOfEach(statistics_, [](const TStatistic& stat) { return stat.OwnerIdentity(); });
  // 8. Loaded sub-nets: without duplicates, each bound to its net, sub base and statistic.
  {
    KeepFirstOfEach(loadedSubNets_, [](const TSubNety& subNet) { return subNet.Identity(); });
    std::vector<std::unique_ptr<TSubNety>> kept = std::move(loadedSubNets_);
    loadedSubNets_.clear();
    for (auto& subNet : kept) {
      bool attached = false;
      const auto net = std::find_if(nets_.begin(), nets_.end(), [&](const auto& n) {
        return n->Identity() == subNet->NetIdentity();
      });
      if (net != nets_.end()) {
        for (std::size_t i = 0; i < subBases_.size() && !attached; ++i) {
          if (subBaseIds[i] != subNet->SubBaseIdentity()) continue;
          for (auto& stat : statistics_) {
            if (stat->OwnerIdentity() != subNet->Identity()) continue;
            if ((attached = subNet->Attach(subBases_[i], net->get(), stat.get()))) break;
          }
          if (!attached) attached = subNet->Attach(subBases_[i], net->get(), nullptr);
        }
      }
      if (!attached) continue;
      subNet->SetVarsBase(varsBase_.get());
      loadedSubNets_.push_back(std::move(subNet));
    }
  }
  // 9.
  builtSubNets_.clear();
  subNets_.clear();
  for (auto& subNet : loadedSubNets_) subNets_.push_back(subNet.get());
  // 10. The fuseki sub-net: the whole-board sub-net with the most selected records.
  std::uint32_t best = 0;
  for (TSubNety* subNet : subNets_) {
    if (subNet->Net()->Header().RegionKind() != rkWholeBoard ||
        subNet->SubBase() == emptySubBase_.get())
      continue;
    subNet->LoadBitFields();
    const std::uint32_t count = subNet->Active() ? subNet->SelectedCount() : 0;
    if (subNet->ReadOnly()) subNet->ReleaseBitFields();
    if (fusekiNet_ == nullptr || count > best) {
      fusekiNet_ = subNet;
      best = count;
    }
  }
  // 11. The joseki sub-net: the last one over the variations base alone.
  for (TSubNety* subNet : subNets_)
    if (subNet->SubBase()->OverVarsOnly()) josekiNet_ = subNet;
  // 12. Sub bases by order key, then identity descending.
  std::stable_sort(subBases_.begin(), subBases_.end(), [](TSubBase* a, TSubBase* b) {
    if (a->OrderKey() != b->OrderKey()) return a->OrderKey() < b->OrderKey();
    return a->Identity() > b->Identity();
  });
  // 13. Sub-nets of one sub base by order key, the later created first on equal keys; the
  // places each sub base's sub-nets hold stay theirs.
  {
    std::vector<TSubBase*> done;
    for (std::size_t i = 0; i < subNets_.size(); ++i) {
      TSubBase* owner = subNets_[i]->SubBase();
      if (std::find(done.begin(), done.end(), owner) != done.end()) continue;
      done.push_back(owner);
      std::vector<std::size_t> places;
      std::vector<TSubNety*> group;
      for (std::size_t j = i; j < subNets_.size(); ++j)
        if (subNets_[j]->SubBase() == owner) {
          places.push_back(j);
          group.push_back(subNets_[j]);
        }
      std::stable_sort(group.begin(), group.end(), [](TSubNety* a, TSubNety* b) {
        if (a->OrderKey() != b->OrderKey()) return a->OrderKey() < b->OrderKey();
        return a->Created() > b->Created();
      });
      for (std::size_t k = 0; k < places.size(); ++k) subNets_[places[k]] = group[k];
    }
  }
  // 14. Sort indexes: one list per sub base; indexes of no sub base are freed.
  {
    std::vector<std::unique_ptr<THolderSortIndex>> all;
    for (auto& list : sortIndexes_)
      for (auto& index : list) all.push_back(std::move(index));
    sortIndexes_.clear();
    sortIndexes_.resize(subBases_.size());
    for (std::size_t i = 0; i < subBases_.size(); ++i) {
      const std::uint32_t id = subBases_[i]->Identity();
      for (auto& index : all)
        if (index != nullptr && index->SubBaseIdentity() == id)
          sortIndexes_[i].push_back(std::move(index));
      std::stable_sort(sortIndexes_[i].begin(), sortIndexes_[i].end(),
                       [](const auto& a, const auto& b) { return a->OrderKey() < b->OrderKey(); });
    }
    if (sortIndexes_.empty()) sortIndexes_.resize(1);
  }
}

std::vector<THolderSortIndex*> TBaseHolder::SortIndexesOf(std::size_t i) const {
  std::vector<THolderSortIndex*> out;
  if (i < subBases_.size() && i < sortIndexes_.size())
    for (const auto& index : sortIndexes_[i]) out.push_back(index.get());
  return out;
}

std::vector<TBaseSorting*> TBaseHolder::SortingsOf(std::size_t i) const {
  std::vector<TBaseSorting*> out;
  for (THolderSortIndex* index : SortIndexesOf(i))
    if (TBaseSorting* sorting = index->Sorting()) out.push_back(sorting);
  return out;
}

bool TBaseHolder::WouldChange(const THolderDirs& dirs) const {
  return dirs.PositionDir != positionDir_ || dirs.VarsDir != varsDir_ ||
         dirs.IndexDirs != indexDirs_ || dirs.NetDirs != netDirs_ || dirs.SubDirs != subDirs_;
}

THolderDirs TBaseHolder::Dirs() const {
  return {gameBaseDir_, positionDir_, varsDir_, indexDirs_, netDirs_, subDirs_};
}

// ---------------------------------------------------------------------------------------------
// Menu

namespace {

TMenuEntry& SubmenuChain(TMenuEntry& menu, const std::vector<std::string>& dirs,
                         const std::function<std::string(const std::string&)>& tr) {
  TMenuEntry* at = &menu;
  for (const std::string& dir : dirs) {
    auto it = std::find_if(at->Children.begin(), at->Children.end(), [&](const TMenuEntry& e) {
      return e.Kind == TMenuEntry::meSubmenu && e.Caption == dir;
    });
    if (it == at->Children.end()) {
      TMenuEntry sub;
      sub.Caption = tr(dir);
      at->Children.push_back(std::move(sub));
      it = at->Children.end() - 1;
    }
    at = &*it;
  }
  return *at;
}

TMenuEntry Separator() {
  TMenuEntry e;
  e.Kind = TMenuEntry::meSeparator;
  return e;
}

}  // namespace

void TBaseHolder::AddSubNetItems(TMenuEntry& menu, TSubNety* net,
                                 const std::function<void(TSubNety*)>& onOpenNet) const {
  std::vector<std::string> dirs;
  std::string name;
  SplitMenuPath(net->MenuPath(), dirs, name);
  const auto tr = [this](const std::string& s) { return Tr(s); };
  TMenuEntry& parent = SubmenuChain(menu, dirs, tr);
  TMenuEntry item;
  item.Kind = TMenuEntry::meItem;
  item.Caption = Tr(name);
  item.Action = [onOpenNet, net] {
    if (onOpenNet) onOpenNet(net);
  };
  parent.Children.push_back(std::move(item));
}

TMenuEntry TBaseHolder::BuildMenu(const std::function<void(TSubNety*)>& onOpenNet,
                                  const std::function<void(TSubBase*)>& onOpenGamesList) const {
  TMenuEntry menu;
  for (TSubNety* net : subNets_)
    if (net->SubBase() == gameSubBase_.get() || net->SubBase() == emptySubBase_.get())
      AddSubNetItems(menu, net, onOpenNet);
  menu.Children.push_back(Separator());
  const auto tr = [this](const std::string& s) { return Tr(s); };
  for (TSubBase* sub : subBases_) {
    if (sub == gameSubBase_.get() || sub == emptySubBase_.get()) continue;
    std::vector<std::string> dirs;
    std::string name;
    SplitMenuPath(sub->MenuName(), dirs, name);
    dirs.push_back(name);
    TMenuEntry& submenu = SubmenuChain(menu, dirs, tr);
    TMenuEntry item;
    item.Kind = TMenuEntry::meItem;
    item.Caption = Tr("Games List");
    item.Action = [onOpenGamesList, sub] {
      if (onOpenGamesList) onOpenGamesList(sub);
    };
    submenu.Children.push_back(std::move(item));
    submenu.Children.push_back(Separator());
    for (TSubNety* net : subNets_)
      if (net->SubBase() == sub) AddSubNetItems(submenu, net, onOpenNet);
    if (submenu.Children.size() > 2) submenu.Children.push_back(Separator());
  }
  return menu;
}

}  // namespace kessaro
