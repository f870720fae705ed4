// Whole-file reading and atomic saving of the files that hold the user's work.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tervane {

// The system calls an atomic save makes, replaceable so that tests can make any step
// fail on purpose. Each has the contract of the POSIX call of the same name.
struct FileSystemCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  ssize_t (*write)(int fd, const void* data, size_t size);
  int (*fsync)(int fd);
  int (*close)(int fd);
  int (*rename)(const char* from, const char* to);
};

// The real calls.
const FileSystemCalls& SystemFileCalls();

// Replaces `path` with `bytes` so that a reader sees either the old file or the new one,
// never a mixture: writes a temporary file in the same folder, flushes it to disk,
// renames it over the target, then flushes the folder. A symbolic link as target is
// followed, so the file it points to is replaced. A new file takes the permissions of
// the file it replaces (or 0666 less the umask when there was none). Temporaries of this
// naming left beside the target by a save whose process is gone (killed mid-save) are
// removed first.
// Returns true on success. Returns false with `error` (when given) set to what failed,
// "<step> <path>: <system message>", when any step fails; the temporary file is then
// removed and, if the failure came before the rename, the target is untouched. When only
// the final flush of the folder fails, the new content is already in place but is not
// known to be on disk; the save still reports failure.
bool SaveFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                        const FileSystemCalls& calls = SystemFileCalls());

// Reads the whole file into `bytes`. Returns false with `error` (when given) set to
// "cannot read <path>: <system message>" when the file cannot be opened or read (a
// folder included); `bytes` is then empty.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error = nullptr);

// A file's bytes in storage that is not cleared before the file is read into it, for a
// large file read only to be parsed.
class FileBytes {
 public:
  const char* data() const { return data_.get(); }
  char* data() { return data_.get(); }
  size_t size() const { return size_; }
  std::string_view view() const { return {data_.get(), size_}; }
  // Bytes past the old size are left unset; those before it are kept.
  void resize(size_t size);

 private:
  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// ReadWholeFile into a FileBytes.
bool ReadWholeFile(const std::string& path, FileBytes& bytes, std::string* error = nullptr);

}  // namespace tervane
