#pragma once
// The database build's last stage and its safeguards: the home's build lock, the temporary
// build folder that disappears unless the build commits, and the move of a complete build
// into place from the synced list of its files ("commit"), which FinishInterruptedBuilds
// completes after an interruption.

#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace kessaro {

// The home folder with a trailing slash.
std::string HomeFolder(const std::string& home);

// The exclusive build lock of a home, held while the object lives. Its file is removed while
// still held, so that it never removes another build's lock.
class THomeLock {
 public:
  explicit THomeLock(const std::string& home);
  ~THomeLock();
  THomeLock(const THomeLock&) = delete;
  THomeLock& operator=(const THomeLock&) = delete;

  bool Held() const { return handle_ != kInvalidHandle; }

 private:
  TFileHandle handle_;
  std::string path_;
};

// The temporary folder of a build (".build-NAME/" inside the home), removed with everything
// in it when the object goes, unless Keep() was called once the list of its complete files
// exists.
class TBuildFolder {
 public:
  TBuildFolder(const std::string& home, const std::string& name);
  ~TBuildFolder();
  TBuildFolder(const TBuildFolder&) = delete;
  TBuildFolder& operator=(const TBuildFolder&) = delete;

  const std::string& Path() const { return path_; }  // with a trailing slash
  void Keep() { keep_ = true; }

 private:
  std::string path_;
  bool keep_ = false;
};

// Finishes, with the home's lock held, the builds of the home that were interrupted after
// their list was written, and removes the folders of those that were not.
int FinishBuildsLocked(const std::string& home);

// Moves the complete files of `folder` (paths inside it) into the home: the folders they go
// into first, then a check that no target is a folder, then the synced list, then the
// renames. False with `error` set on failure; once the list is written the folder is kept
// for the next build to finish. `homeText` is the home as the user gave it, for messages.
bool MoveIntoPlace(const std::string& home, const std::string& homeText, TBuildFolder& folder,
                   const std::vector<std::string>& files, std::string& error);

}  // namespace kessaro
