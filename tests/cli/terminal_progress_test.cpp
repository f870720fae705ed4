// The terminal's progress bar and Ctrl-C.
#include "cli/terminal_progress.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sstream>
#include <thread>

namespace tervane::cli {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

TEST(TerminalProgress, QuickRepliesDrawNothingLongerOnesABarThatGoesAway) {
  std::ostringstream err;
  TerminalProgress bar(err, true);
  bar.Open("Progresso", "Recebendo Retorno...", 0, 10);
  for (int i = 0; i < 5; ++i) bar.Step();
  bar.Close();
  EXPECT_EQ(err.str(), "") << "an exchange that ends at once draws nothing";

  bar.Open("Progresso", "Recebendo Retorno...", 0, 10);
  bar.Step();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (int i = 0; i < 4; ++i) bar.Step();
  EXPECT_EQ(bar.LastLine(), "Recebendo Retorno... [###############...............] 50%");
  EXPECT_THAT(err.str(), HasSubstr("\r" + bar.LastLine()));
  bar.Close();
  EXPECT_THAT(err.str(), EndsWith("\r\033[K"));

  // The line is drawn again only when what it shows changes.
  err.str("");
  bar.Open("Progresso", "Recebendo Retorno...", 0, 1000);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (int i = 0; i < 100; ++i) bar.Step();
  EXPECT_EQ(bar.LastLine(), "Recebendo Retorno... [###...........................] 10%");
  const std::string drawn = err.str();
  EXPECT_LE(std::count(drawn.begin(), drawn.end(), '\r'), 11);
  bar.Close();

  // A reply of open length counts bytes past its range.
  bar.Open("Progresso", "Recebendo Retorno...", 0, 3);
  for (int i = 0; i < 3; ++i) bar.Step();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  bar.Step();
  EXPECT_EQ(bar.LastLine(), "Recebendo Retorno... 4 bytes");
  bar.Close();

  std::ostringstream quiet;
  TerminalProgress hidden(quiet, false);
  hidden.Open("Progresso", "Recebendo Retorno...", 0, 10);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  hidden.Step();
  hidden.Close();
  EXPECT_EQ(quiet.str(), "");
}

volatile std::sig_atomic_t g_previousHandlerRan = 0;
void PreviousHandler(int) { g_previousHandlerRan = 1; }

TEST(InterruptGuard, CtrlCCancelsInsteadOfEndingAndTheOldHandlingComesBack) {
  std::signal(SIGINT, PreviousHandler);
  std::ostringstream err;
  TerminalProgress progress(err, false);
  {
    InterruptGuard guard;
    progress.Open("Progresso", "Recebendo Retorno...", 0, 10);
    EXPECT_FALSE(progress.IsCancelled());
    std::raise(SIGINT);
    EXPECT_TRUE(progress.IsCancelled());
    progress.Close();
    // Every display from then on is cancelled: the command is being given up.
    progress.Open("Progresso", "Processando retorno", 0, 10);
    EXPECT_TRUE(progress.IsCancelled());
    progress.Close();
    EXPECT_EQ(g_previousHandlerRan, 0);
  }
  {
    InterruptGuard fresh;
    EXPECT_FALSE(InterruptGuard::Interrupted());
  }
  std::raise(SIGINT);
  EXPECT_EQ(g_previousHandlerRan, 1);
  std::signal(SIGINT, SIG_DFL);
}

}  // namespace
}  // namespace tervane::cli
