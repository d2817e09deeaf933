#include "platform/FileCommit.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <set>

#include "platform/FileSystem.h"

namespace kessaro {
namespace {

constexpr const char* kRecordHead = "kessaro commit 1\n";
constexpr std::size_t kMaxRecordSize = 1 << 20;

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::uint64_t Fnv64(const std::string& text) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (const unsigned char c : text) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

// A path as the record stores it: a bare name inside the record's folder.
std::string Stored(const std::string& path, const std::string& folder) {
  if (FolderOf(path) == folder && path.find('/') != std::string::npos)
    return path.substr(path.find_last_of('/') + 1);
  return path;
}

std::string Restored(const std::string& stored, const std::string& folder) {
  if (stored.find('/') != std::string::npos) return stored;
  return folder == "." ? stored : folder + "/" + stored;
}

bool ReadWhole(const std::string& path, std::string& out) {
  const TFileHandle h =
      OpenFile(path, TFileAccess::faRead, TFileCreation::fcOpenExisting, TFileShare::fsShareRead);
  if (h == kInvalidHandle) return false;
  const auto size = FileSizeOf(h);
  bool ok = size && *size <= kMaxRecordSize;
  if (ok) {
    out.assign(static_cast<std::size_t>(*size), '\0');
    ok = out.empty() || ReadAt(h, out.data(), out.size(), 0);
  }
  CloseFile(h);
  return ok;
}

void SyncFolders(const std::vector<TCommitEntry>& entries, bool& ok) {
  std::set<std::string> folders;
  for (const auto& e : entries) folders.insert(FolderOf(e.Target));
  for (const auto& f : folders)
    if (!SyncFolderOf(f + "/.")) ok = false;
}

// Runs the renames and removals of a committed set; a side file that is gone was renamed
// already.
bool Apply(const std::vector<TCommitEntry>& entries) {
  bool ok = true;
  for (const auto& e : entries) {
    if (e.Side.empty()) {
      if (FileExists(e.Target) && !RemoveFile(e.Target)) ok = false;
    } else if (FileExists(e.Side) && !RenameFile(e.Side, e.Target)) {
      ok = false;
    }
  }
  SyncFolders(entries, ok);
  return ok;
}

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A record found on disk is hostile: it may only rename the side files the caller expects
// onto the files they stand beside, and remove files of its own folder.
bool Plausible(const std::vector<TCommitEntry>& entries, const std::vector<std::string>& sides,
               const std::string& folder) {
  const std::string suffix = ".saving";
  for (const auto& e : entries) {
    if (e.Side.empty()) {
      if (FolderOf(e.Target) != folder) return false;
      continue;
    }
    const std::string side = NameOf(e.Side), target = NameOf(e.Target);
    bool expected = false;
    for (const auto& s : sides) expected = expected || NameOf(s) == side;
    if (!expected || side != target + suffix || FolderOf(e.Side) != FolderOf(e.Target))
      return false;
  }
  return true;
}

}  // namespace

std::vector<TCommitEntry> ReadCommitRecord(const std::string& record) {
  std::string text;
  if (!ReadWhole(record, text)) return {};
  const auto tail = text.rfind("E ");
  if (text.rfind(kRecordHead, 0) != 0 || tail == std::string::npos || text.back() != '\n')
    return {};
  const std::string body = text.substr(0, tail);
  char expected[17];
  std::snprintf(expected, sizeof expected, "%016" PRIx64, Fnv64(body));
  if (text.substr(tail + 2) != std::string(expected) + "\n") return {};
  const std::string folder = FolderOf(record);
  std::vector<TCommitEntry> entries;
  std::size_t at = std::char_traits<char>::length(kRecordHead);
  while (at < body.size()) {
    const auto end = body.find('\n', at);
    if (end == std::string::npos) return {};
    const std::string line = body.substr(at, end - at);
    at = end + 1;
    if (line.size() < 3 || line[1] != ' ') return {};
    TCommitEntry e;
    if (line[0] == 'R') {
      const auto tab = line.find('\t', 2);
      if (tab == std::string::npos) return {};
      e.Side = Restored(line.substr(2, tab - 2), folder);
      e.Target = Restored(line.substr(tab + 1), folder);
      if (e.Side.empty() || e.Target.empty()) return {};
    } else if (line[0] == 'D') {
      e.Target = Restored(line.substr(2), folder);
    } else {
      return {};
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

TCommitResult CommitFiles(const std::string& record, const std::vector<TCommitEntry>& entries) {
  const std::string folder = FolderOf(record);
  std::string text = kRecordHead;
  for (const auto& e : entries) {
    if (e.Side.empty())
      text += "D " + Stored(e.Target, folder) + "\n";
    else
      text += "R " + Stored(e.Side, folder) + "\t" + Stored(e.Target, folder) + "\n";
  }
  char sum[24];
  std::snprintf(sum, sizeof sum, "E %016" PRIx64 "\n", Fnv64(text));
  text += sum;

  RemoveFile(record);
  const TFileHandle h = OpenFile(record, TFileAccess::faReadWrite, TFileCreation::fcCreateNew,
                                 TFileShare::fsExclusive);
  if (h == kInvalidHandle) return TCommitResult::crNotCommitted;
  bool ok = WriteAt(h, text.data(), text.size(), 0) && SyncFile(h);
  ok = CloseFile(h) && ok;
  ok = ok && SyncFolderOf(record);
  if (!ok) {
    RemoveFile(record);
    return TCommitResult::crNotCommitted;
  }
  // From here the set is committed.
  if (!Apply(entries)) return TCommitResult::crPending;
  // A removal that is not durable could bring the record back after a power cut.
  if (!RemoveFile(record) || !SyncFolderOf(record)) return TCommitResult::crPending;
  return TCommitResult::crCommitted;
}

TRecoverResult RecoverCommit(const std::string& record, const std::vector<std::string>& sides,
                             bool discard) {
  const bool hasRecord = FileExists(record);
  bool remnants = false;
  for (const auto& s : sides) remnants = remnants || FileExists(s);
  if (!hasRecord && !remnants) return TRecoverResult::rrNothing;

  if (hasRecord) {
    const std::vector<TCommitEntry> entries = ReadCommitRecord(record);
    if (!entries.empty() && Plausible(entries, sides, FolderOf(record))) {
      if (!Apply(entries)) return TRecoverResult::rrFailed;
      if (discard)
        for (const auto& s : sides)
          if (FileExists(s)) RemoveFile(s);
      if (!RemoveFile(record)) return TRecoverResult::rrFailed;
      SyncFolderOf(record);
      return TRecoverResult::rrRolledForward;
    }
  }
  // A torn record was being written when the save stopped: nothing was renamed yet.
  if (!discard) return TRecoverResult::rrNothing;
  bool ok = true;
  for (const auto& s : sides)
    if (FileExists(s) && !RemoveFile(s)) ok = false;
  if (hasRecord && !RemoveFile(record)) ok = false;
  SyncFolderOf(record);
  return ok ? TRecoverResult::rrDiscarded : TRecoverResult::rrFailed;
}

TFolderLock::TFolderLock(const std::string& path) {
  const std::string folder = FolderOf(path);
  fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  for (int tries = 0; tries < 3000; ++tries) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    ::usleep(10000);
  }
  ::close(fd_);
  fd_ = -1;
}

TFolderLock::~TFolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace kessaro
