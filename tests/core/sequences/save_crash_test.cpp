// A process killed while it saves the sequence file leaves the old file or the new one,
// never a mixture or a cut: saves go to a temporary file that replaces the target only
// once it is complete and on disk.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "core/sequences/sequence_test_support.h"

namespace tervane::testing {
namespace {

// A store big enough that a save takes a while: `count` sequences of 20 commands.
CSequenceStore BigStore(const std::string& path, int count, const std::string& value) {
  CSequenceStore store(path);
  for (int s = 0; s < count; ++s) {
    CSequence sequence;
    sequence.name = "SEQ" + std::to_string(s);
    for (int c = 0; c < 20; ++c) {
      CommandRecord command = MakeCommand("Comando " + std::to_string(c), "35 60", 4);
      command.parameters = {MakeParameter("Valor", "STRING", 12, true, value),
                            MakeParameter("Quantidade", "NUMERO", 4, false, "0001")};
      command.returnFields.push_back(ReturnFieldRecord{4, "Contador", "INTEGER", "", ""});
      sequence.commands.push_back(std::move(command));
    }
    store.UpsertSequence(std::move(sequence), false);
  }
  return store;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(SequenceSave, AProcessKilledDuringASaveLeavesTheOldFileOrTheNewOne) {
  TempDir dir;
  const std::string path = dir / "sequencias.xml";
  const CSequenceStore oldStore = BigStore(path, 200, "antigo");
  const CSequenceStore newStore = BigStore(path, 300, "novo");
  ASSERT_EQ(newStore.SaveSequences(), 0);
  const std::string newBytes = ReadFile(path);
  ASSERT_EQ(oldStore.SaveSequences(), 0);
  const std::string oldBytes = ReadFile(path);

  std::mt19937 random(12345);
  std::uniform_real_distribution<double> fraction(0.0, 1.5);
  double saveSeconds = 0;
  int sawOld = 0, sawNew = 0;
  // Round 0 lets the save finish, to learn how long it takes in a child here; the other
  // rounds kill the child at random points from its start to well after its end.
  for (int round = 0; round < 40; ++round) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(ready[0]);
      const char go = 1;
      if (::write(ready[1], &go, 1) != 1) ::_exit(2);
      ::_exit(newStore.SaveSequences() == 0 ? 0 : 1);
    }
    ::close(ready[1]);
    char go = 0;
    ASSERT_EQ(::read(ready[0], &go, 1), 1);
    ::close(ready[0]);
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    if (round == 0) {
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
      saveSeconds = SecondsSince(start);
    } else {
      std::this_thread::sleep_for(std::chrono::duration<double>(fraction(random) * saveSeconds));
      ::kill(child, SIGKILL);
      ASSERT_EQ(::waitpid(child, &status, 0), child);
    }

    const std::string now = ReadFile(path);
    if (now == oldBytes) {
      ++sawOld;
    } else {
      ASSERT_EQ(now.size(), newBytes.size()) << "round " << round << ": a broken file";
      ASSERT_TRUE(now == newBytes) << "round " << round << ": a broken file";
      ++sawNew;
    }
    // Whatever was found loads.
    CSequenceStore check(path);
    ASSERT_EQ(check.LoadSequences(path), 0);
    ASSERT_TRUE(check.count() == 200 || check.count() == 300);
    // Back to the old content for the next round.
    if (now != oldBytes) {
      ASSERT_EQ(oldStore.SaveSequences(), 0);
    }
  }
  // The kills landed on both sides of the rename (not a test of the file, a check that
  // the timing above really exercised both outcomes).
  EXPECT_GT(sawOld, 0);
  EXPECT_GT(sawNew, 0);
}

}  // namespace
}  // namespace tervane::testing
