// The choice of the work folder: --workdir, a catalogue in the current folder, the user's
// data folder seeded from the shipped catalogue, and what happens when the data folder or
// the shipped catalogue is not there.
#include "core/app/work_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/common/charset.h"
#include "core/protocol/command_log.h"
#include "support/fake_clock.h"

namespace tervane {
namespace {

namespace fs = std::filesystem;

class WorkFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tervane-work-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    fs::create_directories(root_ / "cwd");
    fs::create_directories(root_ / "home");
    fs::create_directories(root_ / "share");
    Write(root_ / "share" / "comandos.xml", kShipped);
    inputs.currentDir = (root_ / "cwd").string();
    inputs.home = (root_ / "home").string();
    inputs.shippedDataDir = (root_ / "share").string();
  }
  void TearDown() override { fs::remove_all(root_); }

  static void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static unsigned Mode(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }
  static std::string AllWarnings(const WorkFolderChoice& choice) {
    std::string all;
    for (const std::string& w : choice.warnings) all += Cp1252ToUtf8(w) + "\n";
    return all;
  }

  static constexpr const char* kShipped = "<comandos><cmd><tipo>X</tipo></cmd></comandos>";
  fs::path root_;
  WorkFolderInputs inputs;
};

TEST_F(WorkFolderTest, OptionThenCurrentFolderWinAndTouchNothingElse) {
  Write(root_ / "cwd" / "comandos.xml", "mine");
  inputs.workdirOption = "/srv/ecf";
  WorkFolderChoice choice = ChooseWorkFolder(inputs);
  EXPECT_EQ(choice.source, WorkFolderChoice::Source::kOption);
  EXPECT_EQ(choice.workDir, "/srv/ecf");
  EXPECT_EQ(choice.logDir, "");

  inputs.workdirOption.clear();
  choice = ChooseWorkFolder(inputs);
  EXPECT_EQ(choice.source, WorkFolderChoice::Source::kCurrentFolder);
  EXPECT_EQ(choice.workDir, inputs.currentDir);
  EXPECT_EQ(choice.logDir, "");  // the log stays in <work folder>/log
  EXPECT_TRUE(choice.warnings.empty());
  EXPECT_FALSE(fs::exists(root_ / "home" / ".local"));
}

TEST_F(WorkFolderTest, UserDataFolderIsCreatedPrivateAndSeededOnce) {
  WorkFolderChoice choice = ChooseWorkFolder(inputs);
  const fs::path data = root_ / "home" / ".local" / "share" / "tervane";
  EXPECT_EQ(choice.source, WorkFolderChoice::Source::kUserData);
  EXPECT_EQ(choice.workDir, data.string());
  EXPECT_EQ(choice.logDir, (root_ / "home" / ".local" / "state" / "tervane" / "log").string());
  EXPECT_TRUE(choice.warnings.empty()) << AllWarnings(choice);
  EXPECT_TRUE(choice.seeded);
  EXPECT_EQ(Read(data / "comandos.xml"), kShipped);
  EXPECT_TRUE(fs::is_directory(choice.logDir));
  for (const fs::path& created : {root_ / "home" / ".local", data, fs::path(choice.logDir)}) {
    EXPECT_EQ(Mode(created), 0700u) << created;
  }
  // Nothing but the catalogue is left behind by the copy.
  EXPECT_EQ(std::distance(fs::directory_iterator(data), fs::directory_iterator()), 1);

  // The user's own catalogue is never replaced, on the next start or ever.
  Write(data / "comandos.xml", "edited by hand");
  Write(root_ / "share" / "comandos.xml", "a newer shipped catalogue");
  choice = ChooseWorkFolder(inputs);
  EXPECT_FALSE(choice.seeded);
  EXPECT_EQ(Read(data / "comandos.xml"), "edited by hand");
}

TEST_F(WorkFolderTest, XdgVariablesWhenAbsoluteOnly) {
  inputs.xdgDataHome = (root_ / "data").string();
  inputs.xdgStateHome = (root_ / "state").string();
  WorkFolderChoice choice = ChooseWorkFolder(inputs);
  EXPECT_EQ(choice.workDir, (root_ / "data" / "tervane").string());
  EXPECT_EQ(choice.logDir, (root_ / "state" / "tervane" / "log").string());

  // A relative value is invalid and ignored: the defaults under HOME.
  inputs.xdgDataHome = "data";
  inputs.xdgStateHome = "state";
  choice = ChooseWorkFolder(inputs);
  EXPECT_EQ(choice.workDir, (root_ / "home" / ".local" / "share" / "tervane").string());
  EXPECT_EQ(choice.logDir, (root_ / "home" / ".local" / "state" / "tervane" / "log").string());
}

TEST_F(WorkFolderTest, DailyLogGoesToTheChosenLogFolder) {
  const WorkFolderChoice choice = ChooseWorkFolder(inputs);
  ProgramSettings settings;
  settings.g_workDir = choice.workDir;
  settings.g_logDir = choice.logDir;
  testing::FakeClock clock;
  CommandRecord record;
  record.title = "Leitura X";
  WriteCommandLog(record, settings, clock);
  EXPECT_TRUE(fs::exists(fs::path(choice.logDir) / "Log_2024_03_05.txt"));
  EXPECT_FALSE(fs::exists(fs::path(choice.workDir) / "log"));
}

// A data folder that cannot be created (here a file stands where a folder should be, which
// stops root too): the warning names it and the shipped catalogue's folder serves, read
// only, so the menus are still there; without that, the current folder.
TEST_F(WorkFolderTest, UncreatableDataFolderFallsBackAndSaysWhere) {
  Write(root_ / "blocked", "a file");
  inputs.xdgDataHome = (root_ / "blocked").string();
  WorkFolderChoice choice = ChooseWorkFolder(inputs);
  EXPECT_EQ(choice.source, WorkFolderChoice::Source::kFallback);
  EXPECT_EQ(choice.workDir, inputs.shippedDataDir);
  ASSERT_EQ(choice.warnings.size(), 1u);
  const std::string warning = AllWarnings(choice);
  EXPECT_NE(warning.find("Não foi possível criar a pasta de trabalho " + (root_ / "blocked" / "tervane").string()),
            std::string::npos)
      << warning;
  EXPECT_NE(warning.find("Usando " + inputs.shippedDataDir + " (somente leitura)"), std::string::npos) << warning;
  EXPECT_FALSE(choice.logDir.empty());  // the log still has a folder of its own

  fs::remove(root_ / "share" / "comandos.xml");
  choice = ChooseWorkFolder(inputs);
  EXPECT_EQ(choice.workDir, inputs.currentDir);

  // No home folder at all.
  inputs.xdgDataHome.clear();
  inputs.home.clear();
  choice = ChooseWorkFolder(inputs);
  EXPECT_EQ(choice.source, WorkFolderChoice::Source::kFallback);
  EXPECT_EQ(choice.workDir, inputs.currentDir);
  EXPECT_EQ(choice.logDir, "");
  EXPECT_NE(AllWarnings(choice).find("HOME"), std::string::npos);
}

TEST_F(WorkFolderTest, UncreatableLogFolderKeepsTheLogInTheWorkFolder) {
  Write(root_ / "state", "a file");
  inputs.xdgStateHome = (root_ / "state").string();
  const WorkFolderChoice choice = ChooseWorkFolder(inputs);
  EXPECT_EQ(choice.source, WorkFolderChoice::Source::kUserData);
  EXPECT_EQ(choice.logDir, "");
  const std::string warning = AllWarnings(choice);
  EXPECT_NE(warning.find((root_ / "state" / "tervane" / "log").string()), std::string::npos) << warning;
  EXPECT_NE(warning.find(choice.workDir + "/log"), std::string::npos) << warning;
  EXPECT_EQ(warning.find("não será gravado"), std::string::npos) << warning;

  // With the data folder unusable too, the work folder is the shipped one, where no log
  // can be kept (a file stands where its log folder would be): the warning says so
  // instead of pointing there.
  Write(root_ / "blocked", "a file");
  Write(root_ / "share" / "log", "a file");
  inputs.xdgDataHome = (root_ / "blocked").string();
  const WorkFolderChoice fallback = ChooseWorkFolder(inputs);
  EXPECT_EQ(fallback.workDir, inputs.shippedDataDir);
  EXPECT_NE(AllWarnings(fallback).find("o registro diário não será gravado"), std::string::npos)
      << AllWarnings(fallback);
}

TEST_F(WorkFolderTest, MissingShippedCatalogueIsNamedAndTheFolderStaysEmpty) {
  fs::remove(root_ / "share" / "comandos.xml");
  WorkFolderChoice choice = ChooseWorkFolder(inputs);
  EXPECT_EQ(choice.source, WorkFolderChoice::Source::kUserData);
  EXPECT_FALSE(choice.seeded);
  EXPECT_FALSE(fs::exists(fs::path(choice.workDir) / "comandos.xml"));
  ASSERT_EQ(choice.warnings.size(), 1u);
  const std::string warning = AllWarnings(choice);
  EXPECT_NE(warning.find("Catálogo fornecido não encontrado: " + (root_ / "share" / "comandos.xml").string()),
            std::string::npos)
      << warning;
  EXPECT_NE(warning.find(choice.workDir), std::string::npos) << warning;

  // A catalogue that is there but cannot be read (a folder by that name stops root too).
  fs::create_directories(root_ / "share" / "comandos.xml");
  choice = ChooseWorkFolder(inputs);
  EXPECT_FALSE(choice.seeded);
  EXPECT_FALSE(fs::exists(fs::path(choice.workDir) / "comandos.xml"));
  EXPECT_NE(AllWarnings(choice).find((root_ / "share" / "comandos.xml").string()), std::string::npos);
}

TEST(MakeFolders, NamesTheComponentThatFailed) {
  std::string error;
  EXPECT_FALSE(MakeFolders("relative/path", &error));
  std::string pattern = (fs::temp_directory_path() / "tervane-mk-XXXXXX").string();
  const fs::path root = ::mkdtemp(pattern.data());
  std::ofstream(root / "file") << "x";
  EXPECT_FALSE(MakeFolders((root / "file" / "a" / "b").string(), &error));
  EXPECT_EQ(error.rfind((root / "file" / "a").string() + ": ", 0), 0u) << error;
  EXPECT_TRUE(MakeFolders((root / "x" / "y" / "").string(), &error)) << error;
  EXPECT_TRUE(fs::is_directory(root / "x" / "y"));
  fs::remove_all(root);
}

}  // namespace
}  // namespace tervane
