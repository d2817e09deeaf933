#include "bases/BuildCommit.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "bases/DatabaseBuilder.h"
#include "platform/AtomicWrite.h"

namespace kessaro {

namespace fs = std::filesystem;

namespace {

constexpr const char* kBuildLockName = ".build.lock";
constexpr const char* kBuildFolderPrefix = ".build-";
constexpr const char* kBuildCommitName = "commit";

// Renames the listed files of a complete build (those still in its folder) into the home and
// removes the folder. Renaming again after an interruption is harmless: a file already moved
// is no longer in the folder.
bool CommitBuild(const std::string& home, const std::string& temp,
                 const std::vector<std::string>& files) {
  std::error_code ec;
  bool ok = true;
  for (const std::string& f : files) {
    // Only files: a list naming a folder would move the folder.
    if (!fs::is_regular_file(fs::symlink_status(temp + f, ec))) continue;
    fs::create_directories(fs::path(home + f).parent_path(), ec);
    if (!RenameFile(temp + f, home + f) || !SyncFolderOf(home + f)) ok = false;
  }
  if (ok) fs::remove_all(temp, ec);
  return ok;
}

}  // namespace

std::string HomeFolder(const std::string& home) {
  return home.empty() || home.back() == '/' ? home : home + "/";
}

THomeLock::THomeLock(const std::string& home)
    : handle_(OpenFile(home + kBuildLockName, TFileAccess::faReadWrite, TFileCreation::fcOpenAlways,
                       TFileShare::fsExclusive)),
      path_(home + kBuildLockName) {}

THomeLock::~THomeLock() {
  if (!Held()) return;
  RemoveFile(path_);
  CloseFile(handle_);
}

TBuildFolder::TBuildFolder(const std::string& home, const std::string& name)
    : path_(home + kBuildFolderPrefix + name + "/") {}

TBuildFolder::~TBuildFolder() {
  if (keep_) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
}

int FinishBuildsLocked(const std::string& home) {
  int finished = 0;
  std::error_code ec;
  std::vector<fs::path> folders;
  for (fs::directory_iterator it(home, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename().string().rfind(kBuildFolderPrefix, 0) == 0 && it->is_directory(ec))
      folders.push_back(it->path());
  for (const fs::path& folder : folders) {
    const std::string temp = folder.string() + "/";
    std::ifstream in(temp + kBuildCommitName, std::ios::binary);
    std::vector<std::string> files;
    bool valid = static_cast<bool>(in);
    for (std::string line; valid && std::getline(in, line);) {
      // Only plain relative paths inside the home, as a build writes them.
      if (line.empty() || line[0] == '/' || line.find("..") != std::string::npos) valid = false;
      files.push_back(line);
    }
    if (valid && !files.empty()) {
      if (CommitBuild(home, temp, files)) ++finished;
    } else {
      fs::remove_all(folder, ec);
    }
  }
  return finished;
}

int FinishInterruptedBuilds(const std::string& homeIn) {
  const std::string home = HomeFolder(homeIn);
  std::error_code ec;
  bool any = false;
  for (fs::directory_iterator it(home, ec), end; !any && !ec && it != end; it.increment(ec))
    any = it->path().filename().string().rfind(kBuildFolderPrefix, 0) == 0;
  if (!any) return 0;
  // A build that is running holds the lock; its folder is its own.
  const THomeLock lock(home);
  if (!lock.Held()) return 0;
  return FinishBuildsLocked(home);
}

bool MoveIntoPlace(const std::string& home, const std::string& homeText, TBuildFolder& folder,
                   const std::vector<std::string>& files, std::string& error) {
  std::error_code ec;
  for (const char* dir : {"Net", "Sub Base", "Vars Base", "Index", "User Game Base"}) {
    fs::create_directories(home + dir, ec);
    if (ec) {
      error = "cannot write into " + homeText + ": " + ec.message();
      return false;
    }
  }
  // A target that cannot be replaced fails the build before anything is moved.
  for (const std::string& f : files) {
    if (fs::is_directory(home + f, ec)) {
      error = "cannot replace " + f + ": it is a folder";
      return false;
    }
  }
  std::string list;
  for (const std::string& f : files) list += f + "\n";
  if (!WriteFileAtomically(folder.Path() + kBuildCommitName, list.data(), list.size())) {
    error = "cannot write into " + homeText;
    return false;
  }
  // From here on the build is complete on disk: a failure of a rename leaves it to be
  // finished by the next build.
  folder.Keep();
  if (!CommitBuild(home, folder.Path(), files)) {
    error = "cannot move the files into place; the next build finishes it";
    return false;
  }
  return true;
}

}  // namespace kessaro
