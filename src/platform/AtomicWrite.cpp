#include "platform/AtomicWrite.h"

#include "platform/FileSystem.h"

namespace kessaro {

bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size) {
  const std::string target = ResolvePath(path);
  const std::string side = target + ".saving";
  const TFileHandle h = OpenFile(side, TFileAccess::faReadWrite, TFileCreation::fcCreateAlways,
                                 TFileShare::fsExclusive);
  if (h == kInvalidHandle) return false;
  bool ok = size == 0 || WriteAt(h, data, size, 0);
  ok = ok && SyncFile(h);
  ok = CloseFile(h) && ok;
  ok = ok && RenameFile(side, target);
  if (!ok) {
    RemoveFile(side);
    return false;
  }
  SyncFolderOf(target);
  return true;
}

}  // namespace kessaro
