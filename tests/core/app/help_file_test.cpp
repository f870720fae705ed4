// The help file the help items open: the work folder's own help first, then the guide
// shipped with the program.
#include "core/app/help_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tervane {
namespace {

namespace fs = std::filesystem;

TEST(HelpFile, WorkFolderHelpComesBeforeTheShippedGuide) {
  std::string pattern = (fs::temp_directory_path() / "tervane-help-XXXXXX").string();
  const fs::path root = ::mkdtemp(pattern.data());
  const std::string work = (root / "work").string();
  const std::string doc = (root / "doc").string();
  fs::create_directories(root / "work" / "help");
  fs::create_directories(root / "doc");

  // Nothing there: the message names the shipped guide, or, with no documentation
  // folder known, the work folder's help file.
  HelpFile help = FindHelpFile(work, doc);
  EXPECT_FALSE(help.found);
  EXPECT_EQ(help.path, doc + "/Tervane_Help.html");
  EXPECT_EQ(FindHelpFile(work, "").path, work + "/help/Tervane_Help.chm");

  std::ofstream(root / "doc" / "Tervane_Help.html") << "guide";
  help = FindHelpFile(work, doc);
  EXPECT_TRUE(help.found);
  EXPECT_EQ(help.path, doc + "/Tervane_Help.html");

  std::ofstream(root / "work" / "help" / "Tervane_Help.html") << "local guide";
  EXPECT_EQ(FindHelpFile(work, doc).path, work + "/help/Tervane_Help.html");

  // A folder by the help file's name is not a help file.
  fs::create_directories(root / "work" / "help" / "Tervane_Help.chm");
  EXPECT_EQ(FindHelpFile(work, doc).path, work + "/help/Tervane_Help.html");
  fs::remove(root / "work" / "help" / "Tervane_Help.chm");
  std::ofstream(root / "work" / "help" / "Tervane_Help.chm") << "compiled help";
  EXPECT_EQ(FindHelpFile(work + "/", doc).path, work + "/help/Tervane_Help.chm");

  fs::remove_all(root);
}

}  // namespace
}  // namespace tervane
