#pragma once
// The file services every stored format stands on: opening with share modes, positioned reads
// and writes, end of file, space reservation, memory mappings, free space of a volume,
// directory search with a mask, copies that never overwrite, and the steps of an atomic
// replace (sync, rename, sync of the folder).
//
// Share modes are advisory `flock` locks taken at open: an exclusive open holds LOCK_EX and a
// shared one LOCK_SH, both non-blocking, so a second writer of a file fails to open it, and
// readers share it with each other but not with a writer. The locks only bind programs that
// open files through this layer.
//
// Every service consults a fault hook first, so that tests can make the Nth write, sync,
// rename or truncation fail (or stop the process there) without a broken disk.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kessaro {

using TFileHandle = int;
constexpr TFileHandle kInvalidHandle = -1;

enum class TFileAccess { faRead, faReadWrite };
enum class TFileShare { fsShareRead, fsExclusive };
enum class TFileCreation {
  fcOpenExisting,  // fail when missing
  fcOpenAlways,    // create when missing
  fcCreateAlways,  // create or truncate
  fcCreateNew,     // fail when it exists
};

// Opens a file; kInvalidHandle on failure with errno set (EWOULDBLOCK when the share mode
// conflicts with another open).
TFileHandle OpenFile(const std::string& path, TFileAccess access, TFileCreation creation,
                     TFileShare share);
bool CloseFile(TFileHandle handle);

// Whole transfers only: a short read (end of file) or short write is a failure.
bool ReadAt(TFileHandle handle, void* buffer, std::size_t count, std::uint64_t offset);
bool WriteAt(TFileHandle handle, const void* buffer, std::size_t count, std::uint64_t offset);

std::optional<std::uint64_t> FileSizeOf(TFileHandle handle);
bool SetEndOfFile(TFileHandle handle, std::uint64_t size);
// Allocates the blocks of [offset, offset + length) so that later writes through a mapping
// cannot fail for lack of space; false (ENOSPC and the like) when the volume cannot hold them.
bool ReserveSpace(TFileHandle handle, std::uint64_t offset, std::uint64_t length);
bool SyncFile(TFileHandle handle);
// The permission bits of an open file, to carry them over to its replacement.
std::optional<unsigned> FileModeOf(TFileHandle handle);
bool SetFileMode(TFileHandle handle, unsigned mode);

// Shared mappings of the first `size` bytes; nullptr on failure. A writable mapping must lie
// within space the file already holds (see ReserveSpace), or a full disk becomes SIGBUS.
void* MapFile(TFileHandle handle, std::size_t size, bool writable);
bool UnmapFile(void* view, std::size_t size);

bool FileExists(const std::string& path);
bool RenameFile(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
// Syncs the folder that holds `path`, so that a rename inside it is durable.
bool SyncFolderOf(const std::string& path);
// The path with every symbolic link resolved; the path itself when that fails (a file that
// does not exist yet).
std::string ResolvePath(const std::string& path);

// Bytes available to an unprivileged caller on the volume that holds `path` (a file or a
// folder; for a file that does not exist, its folder).
std::optional<std::uint64_t> FreeSpace(const std::string& path);

// Names (not paths) of the regular files of `folder` whose names match the shell mask
// (`*`, `?`, `[...]`), sorted; empty when the folder cannot be read.
std::vector<std::string> FindFiles(const std::string& folder, const std::string& mask);

// Copies a file to a name that must not exist yet; false, leaving any existing target as it
// was, when it does or when the copy fails.
bool CopyFileNoOverwrite(const std::string& from, const std::string& to);

// Fault injection for tests. The hook is called with each operation before it runs; a
// non-zero result makes the operation fail with that errno value.
enum class TFileOp { foOpen, foRead, foWrite, foSync, foRename, foTruncate, foReserve, foMap };
using TFaultHook = std::function<int(TFileOp)>;
void SetFaultHook(TFaultHook hook);

}  // namespace kessaro
