#include "core/sequences/sequence_runner.h"

#include <algorithm>
#include <utility>

#include "core/common/string_table.h"
#include "core/common/charset.h"
#include "core/common/text.h"

namespace tervane {
namespace {

// Source texts are UTF-8; the core speaks Windows-1252.
constexpr char kStartBanner[] = "***Início de execução de sequência de comandos***";
constexpr char kEndBanner[] = "***Fim de execução de sequência de comandos***";
constexpr char kProgressCaption[] = "Executando sequência";
constexpr char kStepQuestion[] = "Clique em OK para continuar a execução da sequência.";
constexpr char kSequenceCancelledText[] = "Sequência cancelada.";

// The slice of a pause between two looks at the progress display.
constexpr int kWaitSliceMs = 100;

std::string Banner(const char* utf8) { return Format("\r\n%s\r\n", Utf8ToCp1252Lossy(utf8).c_str()); }

}  // namespace

std::string SequenceCodeText(int code) {
  switch (code) {
    case kOk: return {};
    case kSequenceCancelled: return Utf8ToCp1252Lossy(kSequenceCancelledText);
    case kCancelled: return LoadString(str::kComandoCancelado);
    case kExchangeFailed: return LoadString(str::kFalhaEnvio);
    case kWrongSize: return LoadString(str::kParametroTamanho);
    case kMandatoryEmpty: return LoadString(str::kParametroObrigatorio);
    default: return LoadString(str::kErro);
  }
}

CSequenceRunner::CSequenceRunner(std::vector<CommandRecord> commands, bool stepMode, int waitMs)
    : commands_(std::move(commands)), stepMode_(stepMode), waitMs_(std::max(waitMs, 0)) {}

void CSequenceRunner::Wait(Clock& clock, ProgressSink& progress) {
  for (int left = waitMs_; left > 0; left -= kWaitSliceMs) {
    if (progress.IsCancelled()) return;
    clock.SleepMs(std::min(left, kWaitSliceMs));
  }
}

int CSequenceRunner::Run(const SequenceRunContext& context) {
  NullProgressSink noProgress;
  ProgressSink& progress = context.progress ? *context.progress : noProgress;
  Clock& clock = context.exchange.clock ? *context.exchange.clock : SystemClock();

  resultText_ = Banner(kStartBanner);
  hexTrace_.clear();
  const std::string caption = Utf8ToCp1252Lossy(kProgressCaption);
  progress.Open(caption, caption, 0, static_cast<long>(commands_.size()));

  for (size_t i = 0; i < commands_.size(); ++i) {
    progress.Step();
    if (progress.IsCancelled()) {
      progress.Close();
      return kSequenceCancelled;
    }
    CommandRecord& command = commands_[i];
    if (filter_ && !filter_(i, commands_)) continue;
    const int code = ExecuteCommand(command, context.exchange);
    resultText_ += command.ResultText;
    hexTrace_ += command.HexTrace;
    if (code != kOk) {
      resultText_ += "\r\n";
      resultText_ += Banner(kEndBanner);
      progress.Close();
      return code;
    }
    if (waitMs_ > 0) Wait(clock, progress);
    const bool last = i + 1 == commands_.size();
    if (stepMode_ && !last && context.prompter &&
        !context.prompter->AskOkCancel("", Utf8ToCp1252Lossy(kStepQuestion))) {
      progress.Close();
      return kOk;
    }
  }
  resultText_ += "\r\n";
  resultText_ += Banner(kEndBanner);
  progress.Close();
  return kOk;
}

SequenceExecution ExecuteSequence(const std::vector<CommandRecord>& commands, int executions, bool stepMode,
                                  int waitSeconds, const SequenceRunContext& context) {
  SequenceExecution execution;
  for (int run = 0; run < executions; ++run) {
    CSequenceRunner runner(commands, stepMode, waitSeconds * 1000);
    execution.code = runner.Run(context);
    ++execution.runs;
    execution.resultText += runner.ResultText();
    if (execution.code != kOk) execution.resultText += SequenceCodeText(execution.code);
    execution.hexTrace += runner.HexTrace();
    for (const CommandRecord& command : runner.Commands()) {
      if (!command.portFailure.empty()) execution.portFailure = command.portFailure;
    }
    if (context.runCommands) context.runCommands->push_back(runner.Commands());
    if (execution.code != kOk) break;
  }
  return execution;
}

}  // namespace tervane
