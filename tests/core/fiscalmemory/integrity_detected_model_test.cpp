// The port check of the MF integrity follows the detected model: an older model, which
// detection leaves with the all-models mask, is sent its own cell command (126), a newer
// one is first asked its model and then sent 95.
#include <gtest/gtest.h>

#include "core/app/model_table.h"
#include "core/fiscalmemory/memory_cli_fixture.h"

namespace tervane::testing {
namespace {

class IntegrityDetectedModel : public MemoryCliFixture {
 protected:
  void Reply(std::vector<std::uint8_t> fields) {
    std::vector<std::uint8_t> reply = {0x06};
    reply.insert(reply.end(), fields.begin(), fields.end());
    reply.insert(reply.end(), {0x00, 0x00});
    FakePortScript script;
    script.reply = {Bytes(reply)};
    ports_.Script("/dev/ttyS9", script);
  }
  void ModelReply(const char* model) {
    const std::string fields = std::string(15, 'K') + PadModelName(model) + std::string(7, ' ');
    Reply(std::vector<std::uint8_t>(fields.begin(), fields.end()));
  }
};

TEST_F(IntegrityDetectedModel, OlderDetectedModelGetsCommand126) {
  ModelReply("ZK-110 A");               // the workbench's own model query
  Reply({0x07, 0x00, 0x07, 0x00, 0x00, 0x00});
  CliResult run = Cli({"mf", "integrity", "--port", "/dev/ttyS9"});
  EXPECT_EQ(run.code, 0) << run.err;
  ASSERT_EQ(ports_.records.size(), 2u);
  EXPECT_EQ(ports_.records[1]->sent[4], 126);
  EXPECT_NE(run.out.find("Número de células ok:\t7"), std::string::npos);
}

TEST_F(IntegrityDetectedModel, NewerDetectedModelIsAskedItsModelThenGets95) {
  ModelReply("ZT-300 A");
  ModelReply("ZT-300 A");
  std::vector<std::uint8_t> cells(30, 0);
  Reply(cells);
  CliResult run = Cli({"mf", "integrity", "--port", "/dev/ttyS9"});
  ASSERT_EQ(ports_.records.size(), 3u) << run.err;
  EXPECT_EQ(ports_.records[2]->sent[4], 95);

  // An unknown model keeps the all-models rule: the newer command.
  ModelReply("XX-1 Q");
  ModelReply("XX-1 Q");
  Reply(cells);
  Cli({"mf", "integrity", "--port", "/dev/ttyS9"});
  ASSERT_EQ(ports_.records.size(), 6u);
  EXPECT_EQ(ports_.records[5]->sent[4], 95);
}

TEST(ModelCodeForRules, FollowsTheDetectedModelOnlyWhenTheMaskIsTheAllModelsOne) {
  ProgramSettings settings;
  ApplyDetectedModel(settings, PadModelName("ZK-140 B"));
  EXPECT_EQ(settings.g_modelMask, kAllModelsMask);  // detection leaves older models unmasked
  EXPECT_EQ(ModelCodeForRules(settings), 16u);
  settings.g_modelMask = 4096;
  EXPECT_EQ(ModelCodeForRules(settings), 4096u);
  settings.g_modelMask = kAllModelsMask;
  settings.g_modelName.clear();
  EXPECT_EQ(ModelCodeForRules(settings), kAllModelsMask);
}

}  // namespace
}  // namespace tervane::testing
