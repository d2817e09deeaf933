#pragma once
// Saves of several files made as one. Every new image is first written complete and synced
// beside its file (a side file); then a small commit record naming the set is written and
// synced, the side files are renamed over their files, and the record goes. A kill at any
// instant leaves either a complete record (the set is committed: RecoverCommit finishes the
// renames) or none (the set is not: the side files are discarded), so that the files of the
// set are always all old or all new once RecoverCommit has run.
//
// Record: the line "kessaro commit 1", one line per entry ("R side<TAB>target" to rename,
// "D target" to remove), and "E " with the FNV-1a 64 of every byte before it in 16 hex
// digits. Paths inside the record's folder are stored as bare names, so that a moved folder
// keeps its record valid.
//
// Commits and recoveries of one folder exclude each other through a lock on the folder
// (TFolderLock), held from the first side file to the removal of the record.

#include <string>
#include <vector>

namespace kessaro {

struct TCommitEntry {
  std::string Side;    // the new image; empty: the target is removed
  std::string Target;  // the file it becomes
};

enum class TCommitResult {
  crNotCommitted,  // no record was written: every file is old, the side files remain
  crCommitted,     // every file is new and the record is gone
  crPending,       // the record is written but a step after it failed: RecoverCommit
                   // finishes the set (the files are new from the first open on); side
                   // files that are gone were placed
};

// Writes the record, renames, removes the record; syncs each step.
TCommitResult CommitFiles(const std::string& record, const std::vector<TCommitEntry>& entries);

enum class TRecoverResult {
  rrNothing,        // no record and no side file
  rrRolledForward,  // a committed set was finished
  rrDiscarded,      // an uncommitted set's side files (or a torn record) were removed
  rrFailed,         // something to do could not be done (a read-only folder, a failed
                    // rename); the files may be a mix and must not be written
};

// Finishes or discards an interrupted commit. `sides` are the side files a save of this set
// writes; without a record they are remnants and go. A record is only followed when it
// renames such side files ("X.saving") onto the files they stand beside and removes files of
// its own folder; any other record counts as torn. With `discard` false (a reader) only a
// committed set is finished, since its files are new in all but name; remnants and a torn
// record are left for the next writer.
TRecoverResult RecoverCommit(const std::string& record, const std::vector<std::string>& sides,
                             bool discard);

// The entries a valid record names (absolute or as given); empty for a missing or torn one.
std::vector<TCommitEntry> ReadCommitRecord(const std::string& record);

// An exclusive lock on the folder that holds `path`, waiting up to about 30 s for another
// process's commit; released by the destructor.
class TFolderLock {
 public:
  explicit TFolderLock(const std::string& path);
  ~TFolderLock();
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace kessaro
