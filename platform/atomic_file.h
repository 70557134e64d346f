#pragma once
// Replacing a file so that a crash, a full disk or a failing device never leaves it
// half-written, and the one seam through which those file system calls go, so tests can
// make any of them fail.
//
// Assumes what every careful saver assumes: rename() within a folder is atomic, and
// fsync() really reaches the disk.
#include <sys/stat.h>
#include <sys/types.h>
#include <string>
#include <string_view>
#include <vector>

namespace osc {

// The file system calls of the save path (and of loaders: read, fstat), with POSIX
// results: -1 and errno on failure.
class FileOps {
 public:
  virtual ~FileOps() = default;
  virtual int open(const std::string& path, int flags, mode_t mode);
  virtual ssize_t read(int fd, void* buffer, std::size_t size);
  virtual int fstat(int fd, struct stat* status);
  virtual ssize_t write(int fd, const void* data, std::size_t size);
  virtual int fsync(int fd);
  virtual int close(int fd);
  virtual int rename(const std::string& from, const std::string& to);
  // As rename, but fails with EEXIST instead of replacing an existing `to`.
  virtual int rename_noreplace(const std::string& from, const std::string& to);
  virtual int unlink(const std::string& path);
  virtual int link(const std::string& from, const std::string& to);
  virtual int mkdir(const std::string& path, mode_t mode);
  virtual int access(const std::string& path, int mode);
};

// The real calls.
FileOps& SystemFileOps();

// Makes `path` hold `data`: writes a temporary file in the same folder (a short write is
// continued, a write that stores nothing is an error), fsyncs it, renames it over `path`
// and fsyncs the folder. Returns 0, or the errno of the step that failed, in which case
// `path` is untouched and the temporary file removed. A failing fsync of the folder is
// not reported: the new file is in place by then, and some file systems refuse it.
int WriteFileAtomically(FileOps& ops, const std::string& path, std::string_view data);

struct TFileContent {
  std::string Path;
  std::string_view Data;
};

// WriteFileAtomically for a set of files that belong together: every file is written to
// its temporary name first, and only when all are written are they renamed into place.
// On a failure every temporary file is removed and every target keeps its old content
// (an old target is kept under a hard link until all renames are done, where the file
// system has links); the errno is returned and `failedPath` names the file it concerns. Temporary files that
// a crashed writer left in the targets' folders (its process is gone) are removed first.
int WriteFilesAtomically(FileOps& ops, const std::vector<TFileContent>& files, std::string& failedPath);

// The hidden temporary name of a save of `path`: ".<name>.tmp-<pid>-<n>" beside it,
// the name cut so that the whole stays within the file system's 255 bytes.
std::string TempNameFor(const std::string& path, unsigned serial);

// Removes the temporary files of writers in `folder` whose process has ended. Their
// names are "." + anything + ".tmp-<pid>-<n>"; files of live processes stay.
void RemoveStaleTemps(const std::string& folder);

// Renames `path` to "<path>.broken-<YYYYMMDD-hhmmss>" (with "-2", "-3"... when taken)
// without replacing any file. Returns 0 and the new name in `newPath`, or an errno.
int MoveAside(FileOps& ops, const std::string& path, std::string& newPath);

// Creates `folder` and its missing parents (mode 0700 for the new ones). 0 or an errno.
int MakeFolders(FileOps& ops, const std::string& folder);

// WriteFileAtomically for a file written in parts (an export too large to hold in memory): the
// parts go to the temporary file; Commit() syncs it and renames it over `path`. Until
// then `path` is untouched, and a writer destroyed without a successful Commit (a
// failure, a cancel) removes its temporary file. Every call returns 0 or the errno of
// the step that failed; after a failure the writer only reports it again.
class TAtomicFileWriter {
 public:
  TAtomicFileWriter(FileOps& ops, std::string path);
  ~TAtomicFileWriter();
  TAtomicFileWriter(const TAtomicFileWriter&) = delete;
  TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

  int Write(std::string_view data);
  int Commit();
  int Error() const { return error_; }

 private:
  FileOps& ops_;
  std::string path_;
  std::string temp_;
  int fd_ = -1;
  int error_ = 0;
  bool committed_ = false;
};

}  // namespace osc
