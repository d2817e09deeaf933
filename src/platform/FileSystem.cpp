#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

namespace kessaro {
namespace {

TFaultHook& Hook() {
  static TFaultHook hook;
  return hook;
}

// True when the hook refuses the operation; errno then holds its code.
bool Refused(TFileOp op) {
  const TFaultHook& hook = Hook();
  if (!hook) return false;
  const int code = hook(op);
  if (code == 0) return false;
  errno = code;
  return true;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

void SetFaultHook(TFaultHook hook) {
  Hook() = std::move(hook);
}

TFileHandle OpenFile(const std::string& path, TFileAccess access, TFileCreation creation,
                     TFileShare share) {
  if (Refused(TFileOp::foOpen)) return kInvalidHandle;
  int flags = O_CLOEXEC | (access == TFileAccess::faRead ? O_RDONLY : O_RDWR);
  switch (creation) {
    case TFileCreation::fcOpenExisting:
      break;
    case TFileCreation::fcOpenAlways:
      flags |= O_CREAT;
      break;
    case TFileCreation::fcCreateAlways:
      flags |= O_CREAT;
      break;
    case TFileCreation::fcCreateNew:
      flags |= O_CREAT | O_EXCL;
      break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return kInvalidHandle;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int saved = errno != 0 ? errno : EISDIR;
    ::close(fd);
    errno = S_ISREG(st.st_mode) ? saved : EISDIR;
    return kInvalidHandle;
  }
  const int lock = share == TFileShare::fsExclusive ? LOCK_EX : LOCK_SH;
  if (::flock(fd, lock | LOCK_NB) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return kInvalidHandle;
  }
  // Truncate only once the lock is held, so that a refused open leaves the file as it was.
  if (creation == TFileCreation::fcCreateAlways && ::ftruncate(fd, 0) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return kInvalidHandle;
  }
  return fd;
}

bool CloseFile(TFileHandle handle) {
  if (handle < 0) return false;
  return ::close(handle) == 0;
}

bool ReadAt(TFileHandle handle, void* buffer, std::size_t count, std::uint64_t offset) {
  if (Refused(TFileOp::foRead)) return false;
  auto* p = static_cast<char*>(buffer);
  while (count > 0) {
    if (offset > static_cast<std::uint64_t>(LLONG_MAX)) return false;
    const ssize_t got = ::pread(handle, p, count, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    count -= static_cast<std::size_t>(got);
    offset += static_cast<std::uint64_t>(got);
  }
  return true;
}

bool WriteAt(TFileHandle handle, const void* buffer, std::size_t count, std::uint64_t offset) {
  if (Refused(TFileOp::foWrite)) return false;
  const auto* p = static_cast<const char*>(buffer);
  while (count > 0) {
    if (offset > static_cast<std::uint64_t>(LLONG_MAX)) return false;
    const ssize_t put = ::pwrite(handle, p, count, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    count -= static_cast<std::size_t>(put);
    offset += static_cast<std::uint64_t>(put);
  }
  return true;
}

std::optional<std::uint64_t> FileSizeOf(TFileHandle handle) {
  struct stat st {};
  if (handle < 0 || ::fstat(handle, &st) != 0 || st.st_size < 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool SetEndOfFile(TFileHandle handle, std::uint64_t size) {
  if (Refused(TFileOp::foTruncate)) return false;
  if (size > static_cast<std::uint64_t>(LLONG_MAX)) return false;
  int rc;
  do {
    rc = ::ftruncate(handle, static_cast<off_t>(size));
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

bool ReserveSpace(TFileHandle handle, std::uint64_t offset, std::uint64_t length) {
  if (length == 0) return true;
  if (Refused(TFileOp::foReserve)) return false;
  if (offset > static_cast<std::uint64_t>(LLONG_MAX) ||
      length > static_cast<std::uint64_t>(LLONG_MAX) - offset)
    return false;
  const int rc = ::posix_fallocate(handle, static_cast<off_t>(offset), static_cast<off_t>(length));
  if (rc != 0) errno = rc;
  return rc == 0;
}

bool SyncFile(TFileHandle handle) {
  if (Refused(TFileOp::foSync)) return false;
  return ::fsync(handle) == 0;
}

std::optional<unsigned> FileModeOf(TFileHandle handle) {
  struct stat st {};
  if (::fstat(handle, &st) != 0) return std::nullopt;
  return static_cast<unsigned>(st.st_mode & 07777);
}

bool SetFileMode(TFileHandle handle, unsigned mode) {
  return ::fchmod(handle, static_cast<mode_t>(mode)) == 0;
}

void* MapFile(TFileHandle handle, std::size_t size, bool writable) {
  if (size == 0 || Refused(TFileOp::foMap)) return nullptr;
  const int prot = writable ? PROT_READ | PROT_WRITE : PROT_READ;
  void* view = ::mmap(nullptr, size, prot, MAP_SHARED, handle, 0);
  return view == MAP_FAILED ? nullptr : view;
}

bool UnmapFile(void* view, std::size_t size) {
  if (view == nullptr) return true;
  return ::munmap(view, size) == 0;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  if (Refused(TFileOp::foRename)) return false;
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

bool SyncFolderOf(const std::string& path) {
  if (Refused(TFileOp::foSync)) return false;
  const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

std::string ResolvePath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string result(resolved);
  std::free(resolved);
  return result;
}

std::optional<std::uint64_t> FreeSpace(const std::string& path) {
  struct statvfs vfs {};
  if (::statvfs(path.c_str(), &vfs) != 0 && ::statvfs(FolderOf(path).c_str(), &vfs) != 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(vfs.f_bavail) * static_cast<std::uint64_t>(vfs.f_frsize);
}

std::vector<std::string> FindFiles(const std::string& folder, const std::string& mask) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (::fnmatch(mask.c_str(), name.c_str(), FNM_PERIOD) != 0) continue;
    struct stat st {};
    const std::string full = (folder.empty() ? std::string(".") : folder) + "/" + name;
    if (::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

bool CopyFileNoOverwrite(const std::string& from, const std::string& to) {
  const TFileHandle in =
      OpenFile(from, TFileAccess::faRead, TFileCreation::fcOpenExisting, TFileShare::fsShareRead);
  if (in == kInvalidHandle) return false;
  const TFileHandle out =
      OpenFile(to, TFileAccess::faReadWrite, TFileCreation::fcCreateNew, TFileShare::fsExclusive);
  if (out == kInvalidHandle) {
    CloseFile(in);
    return false;
  }
  std::vector<char> buffer(1 << 16);
  std::uint64_t offset = 0;
  bool ok = true;
  for (;;) {
    ssize_t got;
    do {
      got = ::pread(in, buffer.data(), buffer.size(), static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
      ok = false;
      break;
    }
    if (got == 0) break;
    if (!WriteAt(out, buffer.data(), static_cast<std::size_t>(got), offset)) {
      ok = false;
      break;
    }
    offset += static_cast<std::uint64_t>(got);
  }
  if (const auto mode = FileModeOf(in)) SetFileMode(out, *mode);
  ok = SyncFile(out) && ok;
  CloseFile(in);
  CloseFile(out);
  if (!ok) RemoveFile(to);
  return ok;
}

}  // namespace kessaro
