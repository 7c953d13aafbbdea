// The disk states that a power cut can leave behind a run of the program: built from the folder before the run and
// the run's data trace (the fault injection library's VANDORIL_FAULT_TRACE with VANDORIL_FAULT_TRACE_DATA=1).
//
// The model is the conservative one that POSIX allows:
// - a file's data is durable only after an fsync or fdatasync of that file, its mode only after an fsync;
//   sync_file_range flushes nothing;
// - a change of a directory entry (create, mkdir, link, rename, unlink, rmdir) is durable only after an fsync of
//   its directory; a rename is atomic, and durable only once both of its directories have been flushed after it;
// - until then each change may be lost or kept, independently of the others; a write that is kept may be torn (its
//   bytes up to the first 512-byte boundary in it on disk, the rest of it as before, and zeros where it grew the
//   file), and a rename between two folders that is kept may be seen in its new folder only (the old name stays).
// Beyond POSIX the model takes a rename between two folders never to be seen in its old folder only (gone from
// both): a journalling file system commits a rename as one transaction.
// A state applies the durable changes and the kept ones in the order of the run; an entry is made only under a name
// that is free in that state (no file system puts a new file in the place of one that was never moved away), and
// what lies in a folder that the state does not reach is gone with it.  Paths of openat() are taken as relative to
// the working folder, the game folder; links are kept as they are, and never followed.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// A folder's content by relative path: a file's permission bits in decimal, ":" and its bytes; a folder's bits and
// ":<dir>"; a link's "-> " and target.  WriteFolder makes the folder `dir` hold exactly that.
using FolderImage = std::map<std::string, std::string>;
FolderImage ReadFolder(const std::string& dir);
void WriteFolder(const std::string& dir, const FolderImage& image);

// One line of a data trace.
struct TracedCall {
  unsigned long number = 0;
  std::string function;
  std::vector<std::string> words;  // between the function and "=": the paths or "fd" FD, then a number if any
  long result = -1, mode = -1, offset = -1;
  std::string bytes;  // what a write wrote
};

// The calls of a data trace; throws std::runtime_error when it is none.
std::vector<TracedCall> ParseTrace(const std::string& text);

// What the model knows after some calls of a run: every file and folder (0 is the game folder), each folder's
// entries as before the run and as the run left them, the open descriptors, and every change with what it waits for
// to become durable.  Made by StartCrashModel(), advanced by ApplyCall(), read by CrashState().
struct CrashModel {
  struct Inode {
    bool folder = false;
    long mode = 0;
    std::string bytes;
  };
  enum Kind { kEntry, kWrite, kResize, kMode };
  // A name in a folder, and what stands there (-1: nothing).  Folder -1: no name at all.
  struct Place {
    int folder, inode;
    std::string name;
  };
  struct Change {
    Kind kind;
    int inode;
    long number;  // the offset of a write, a new size or mode
    std::string bytes;
    Place from, to;  // an entry's name that it leaves, the one that it gets
    bool replaces;
    std::set<int> awaited;  // the files and folders whose flush it waits for
  };
  std::vector<Inode> inodes;
  std::map<int, std::map<std::string, int>> before, live;
  std::map<long, int> open;  // descriptor -> inode
  std::vector<Change> changes;
  std::vector<std::size_t> unflushed;  // the changes not durable yet
};

// The model of the folder `before`, before any call.
CrashModel StartCrashModel(const FolderImage& before);

// Takes a call of the run into account; throws std::runtime_error for one that it cannot model.
void ApplyCall(CrashModel& model, const TracedCall& call);

// The state on disk after a power cut now: the durable changes, and each other one that `keep` (called once for
// each, in order) keeps; of those a write or a rename between two folders only partly when `tear` is given and says
// so (called once for each of them after `keep`).
FolderImage CrashState(const CrashModel& model, const std::function<bool()>& keep,
                       const std::function<bool()>& tear = nullptr);
