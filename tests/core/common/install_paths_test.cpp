#include "core/common/install_paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace tervane {
namespace {

// The shipped files are found beside the running program's bin/ folder, as in the build
// tree and once installed; the environment variable names another folder.
TEST(InstallPathsTest, ShippedFoldersFollowTheProgramUnlessOverridden) {
  const std::string program = ProgramDir();
  ASSERT_FALSE(program.empty());
  const std::string prefix = program.substr(0, program.rfind('/'));

  ::unsetenv(kShareDirVariable);
  EXPECT_EQ(ShippedDataDir(), prefix + "/share/tervane");
  EXPECT_EQ(ShippedDocDir(), prefix + "/share/doc/tervane");

  ::setenv(kShareDirVariable, "/opt/x/../tervane/", 1);
  EXPECT_EQ(ShippedDataDir(), "/opt/tervane");
  // A relative value could mean anything depending on the current folder: ignored.
  ::setenv(kShareDirVariable, "share", 1);
  EXPECT_EQ(ShippedDataDir(), prefix + "/share/tervane");
  ::unsetenv(kShareDirVariable);
}

TEST(InstallPathsTest, JoinPathPutsOneSlashBetween) {
  EXPECT_EQ(JoinPath("/x", "a/b"), "/x/a/b");
  EXPECT_EQ(JoinPath("/x/", "a"), "/x/a");
  EXPECT_EQ(JoinPath("", "a"), "a");
}

}  // namespace
}  // namespace tervane
