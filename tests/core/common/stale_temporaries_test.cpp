// A save killed between writing its temporary and the rename leaves ".<name>.tmp.<pid>.<n>"
// behind; the next save removes it, but never a temporary of a process still running.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/common/atomic_file.h"

namespace tervane {
namespace {

TEST(StaleTemporaries, TheNextSaveRemovesThoseOfAProcessThatIsGone) {
  char pattern[] = "/tmp/tervane_stale_XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  const std::string target = dir + "/equipamentos.xml";

  // A process that is gone (killed with -9 mid-save, as far as the folder can tell).
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  const std::string stale = dir + "/.equipamentos.xml.tmp." + std::to_string(child) + ".0";
  const std::string live = dir + "/.equipamentos.xml.tmp." + std::to_string(::getppid()) + ".3";
  const std::string other = dir + "/.sequencias.xml.tmp." + std::to_string(child) + ".0";
  for (const std::string& path : {stale, live, other}) std::ofstream(path) << "half";

  ASSERT_TRUE(SaveFileAtomically(target, "<equipamentos/>", nullptr));
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(live));   // its process still runs
  EXPECT_TRUE(std::filesystem::exists(other));  // another file's temporary
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_EQ(bytes, "<equipamentos/>");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tervane
