// Decoding time of the largest common reply: the 620-byte payment-method table.
#include <benchmark/benchmark.h>

#include <cstring>

#include "core/interpret/return_formatter.h"

namespace {

tervane::CommandRecord PaymentTableCommand() {
  tervane::CommandRecord command;
  tervane::ReturnFieldRecord field;
  field.kind = "FORMAS_DE_PAGAMENTO";
  field.size = 620;
  field.title = "Formas de pagamento";
  command.returnFields.push_back(field);
  command.declaredReturnSize = 620;

  std::vector<std::uint8_t> reply(1 + 620 + 4, 0x00);
  reply[0] = 0x06;
  for (size_t k = 0; k < 20; ++k) {
    std::memcpy(reply.data() + 1 + 16 * k, "Cart\xC6o cr\x82" "dito  ", 16);
    for (size_t i = 0; i < 7; ++i) {
      reply[1 + 320 + 7 * k + i] = static_cast<std::uint8_t>(0x12 + i);
      reply[1 + 460 + 7 * k + i] = static_cast<std::uint8_t>(0x98 - i);
    }
    reply[1 + 600 + k] = k % 2 ? 0x55 : 0x00;
  }
  command.replyData = reply;
  return command;
}

void BM_FormatReturnPaymentTable(benchmark::State& state) {
  tervane::CommandRecord command = PaymentTableCommand();
  tervane::ProgramSettings settings;
  settings.g_extendedReply = true;
  tervane::FormatReturn(command, settings);  // first use converts the fixed texts
  for (auto _ : state) {
    command.ResultText = std::string();
    tervane::FormatReturn(command, settings);
    benchmark::DoNotOptimize(command.ResultText.data());
  }
  state.SetLabel(std::to_string(command.ResultText.size()) + " bytes of text");
}
BENCHMARK(BM_FormatReturnPaymentTable)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
