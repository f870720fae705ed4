#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/common/atomic_file.h"

namespace tervane {
namespace {

namespace fs = std::filesystem;

class AtomicFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tervane-atomic-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    target_ = (dir_ / "sequencias.xml").string();
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all);
    fs::remove_all(dir_);
  }
  std::string Read(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes));
    return bytes;
  }
  int FilesInFolder() {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir_)) {
      (void)e;
      ++n;
    }
    return n;
  }

  fs::path dir_;
  std::string target_;
};

TEST_F(AtomicFile, ReplacesTheFileAndKeepsItsPermissions) {
  std::string error;
  const std::string content("new\0content\xE7", 12);
  ASSERT_TRUE(SaveFileAtomically(target_, "old", &error)) << error;
  ASSERT_EQ(::chmod(target_.c_str(), 0640), 0);
  ASSERT_TRUE(SaveFileAtomically(target_, content, &error)) << error;
  EXPECT_EQ(Read(target_), content);
  struct stat st;
  ASSERT_EQ(::stat(target_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(FilesInFolder(), 1);   // no temporary file left behind
  ASSERT_TRUE(SaveFileAtomically(target_, "", &error)) << error;
  EXPECT_EQ(Read(target_), "");
}

TEST_F(AtomicFile, SavingThroughALinkReplacesTheLinkedFile) {
  const std::string real = (dir_ / "real.xml").string();
  std::ofstream(real) << "old";
  fs::create_symlink(real, target_);
  ASSERT_TRUE(SaveFileAtomically(target_, "new", nullptr));
  EXPECT_TRUE(fs::is_symlink(target_));
  EXPECT_EQ(Read(real), "new");
}

// Each step of the save failing in turn leaves the old file whole and no temporary file.
struct FailingStep {
  static inline int failWrite = 0, failFsync = 0, failClose = 0, failRename = 0, failOpen = 0;
  static inline int fsyncCalls = 0;
  static void Reset() { failWrite = failFsync = failClose = failRename = failOpen = fsyncCalls = 0; }
  static int Open(const char* p, int flags, mode_t mode) {
    if (failOpen) { errno = failOpen; return -1; }
    return ::open(p, flags, mode);
  }
  static ssize_t Write(int fd, const void* d, size_t n) {
    if (failWrite) { errno = failWrite; return -1; }
    return ::write(fd, d, n < 3 ? n : 3);   // short writes are normal and must be resumed
  }
  static int Fsync(int fd) {
    ++fsyncCalls;
    if (failFsync && fsyncCalls == 1) { errno = failFsync; return -1; }
    return ::fsync(fd);
  }
  static int Close(int fd) {
    const int r = ::close(fd);
    if (failClose) { errno = failClose; return -1; }
    return r;
  }
  static int Rename(const char* a, const char* b) {
    if (failRename) { errno = failRename; return -1; }
    return ::rename(a, b);
  }
};

TEST_F(AtomicFile, AFailedStepLeavesTheOldFileUntouched) {
  const FileSystemCalls calls{FailingStep::Open, FailingStep::Write, FailingStep::Fsync,
                              FailingStep::Close, FailingStep::Rename};
  ASSERT_TRUE(SaveFileAtomically(target_, "old content", nullptr));

  struct Case {
    int* flag;
    int code;
    const char* step;
  } cases[] = {
      {&FailingStep::failOpen, EACCES, "cannot create"},
      {&FailingStep::failWrite, ENOSPC, "cannot write"},
      {&FailingStep::failFsync, EIO, "cannot flush"},
      {&FailingStep::failClose, EIO, "cannot close"},
      {&FailingStep::failRename, EXDEV, "cannot replace"},
  };
  for (const Case& c : cases) {
    FailingStep::Reset();
    *c.flag = c.code;
    std::string error;
    EXPECT_FALSE(SaveFileAtomically(target_, "new content", &error, calls)) << c.step;
    EXPECT_EQ(error.find(c.step), 0u) << error;
    EXPECT_NE(error.find(std::strerror(c.code)), std::string::npos) << error;
    EXPECT_EQ(Read(target_), "old content") << c.step;
    EXPECT_EQ(FilesInFolder(), 1) << c.step;
  }

  // With every step working, the short writes still add up to the whole content.
  FailingStep::Reset();
  ASSERT_TRUE(SaveFileAtomically(target_, "new content", nullptr, calls));
  EXPECT_EQ(Read(target_), "new content");
  EXPECT_EQ(FailingStep::fsyncCalls, 2);   // the file, then the folder
}

TEST_F(AtomicFile, RealFailuresOfTheFileSystem) {
  // The target is a folder: the rename fails and the folder stays as it was.
  const std::string folder = (dir_ / "taken").string();
  fs::create_directories(folder + "/inside");
  std::string error;
  EXPECT_FALSE(SaveFileAtomically(folder, "x", &error));
  EXPECT_TRUE(fs::is_directory(folder + "/inside"));
  EXPECT_EQ(FilesInFolder(), 1);

  // The folder does not exist.
  EXPECT_FALSE(SaveFileAtomically((dir_ / "no" / "file.xml").string(), "x", &error));
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;

  // A folder that cannot be written to (the permission check does not apply to root).
  if (::geteuid() != 0) {
    ASSERT_TRUE(SaveFileAtomically(target_, "old", nullptr));
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(SaveFileAtomically(target_, "new", &error));
    fs::permissions(dir_, fs::perms::owner_all);
    EXPECT_EQ(Read(target_), "old");
  }
}

TEST_F(AtomicFile, ReadWholeFileReadsBytesOrSaysWhy) {
  const std::string bytes("a\0\xFF\r\nz", 6);
  std::ofstream(target_, std::ios::binary) << bytes;
  std::string read = "stale", error;
  ASSERT_TRUE(ReadWholeFile(target_, read, &error));
  EXPECT_EQ(read, bytes);

  EXPECT_FALSE(ReadWholeFile((dir_ / "missing").string(), read, &error));
  EXPECT_TRUE(read.empty());
  EXPECT_EQ(error.find("cannot read"), 0u);
  EXPECT_NE(error.find("missing"), std::string::npos);
  EXPECT_FALSE(ReadWholeFile(dir_.string(), read, &error));
  EXPECT_NE(error.find("directory"), std::string::npos) << error;

  FileBytes raw;
  ASSERT_TRUE(ReadWholeFile(target_, raw, &error));
  EXPECT_EQ(raw.view(), bytes);
  EXPECT_FALSE(ReadWholeFile((dir_ / "missing").string(), raw, &error));
  EXPECT_EQ(raw.size(), 0u);

  // A source of no known size (a pipe) is read in chunks to its end, into either kind.
  const std::string fifo = (dir_ / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string large;
  for (int i = 0; large.size() < 100000; ++i) large += std::to_string(i) + ',';
  for (const bool intoRaw : {false, true}) {
    std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << large; });
    const bool ok = intoRaw ? ReadWholeFile(fifo, raw, &error) : ReadWholeFile(fifo, read, &error);
    writer.join();
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(intoRaw ? std::string(raw.view()) : read, large);
  }
}

}  // namespace
}  // namespace tervane
