// Framing cost of a typical command: twelve parameters of mixed kinds. The target is
// well under 2 microseconds per frame.
#include <benchmark/benchmark.h>

#include "core/common/charset.h"
#include "core/protocol/frame_builder.h"

namespace tervane {
namespace {

ParameterRecord Param(const char* kind, int size, const std::string& value) {
  ParameterRecord p;
  p.title = kind;
  p.kind = kind;
  p.size = size;
  p.value = value;
  return p;
}

CommandRecord MixedCommand(bool withRandom) {
  CommandRecord c;
  c.title = "Venda de item";
  c.escapeBytes[0] = 0x3E;
  c.escapeBytes[1] = 0x0E;
  c.escapeCount = 2;
  c.declaredReturnSize = 4;
  c.parameters = {
      Param("STRING", 13, "7891234567895"),
      Param("STRING", 29, Utf8ToCp1252Lossy("Pão de açúcar integral")),
      Param("FINANCE", 14, "12,50"),
      Param("FINANCE_3", 7, "1,000"),
      Param("PERCENTAGE", 4, "18,00"),
      Param("INTEGER", 2, "1"),
      Param("BINARIO", 1, "65"),
      Param("DIG_HEX", 4, "0A1F2B3C"),
      Param("CHEQUE_POS", 3, "102030"),
      Param("DATA", 6, "05/03/24"),
      Param("STRING_VAR_SIZE", 40, Utf8ToCp1252Lossy("Observação\r\nsegunda linha")),
      withRandom ? Param("RANDOM_NUMBER", 6, "") : Param("NOT_EDITABLE", 3, ""),
  };
  return c;
}

// Reframing the same record: the values that encoding rewrites are stable after the
// first run, so every iteration does the same work.
void FrameMixedCommand(benchmark::State& state, bool withRandom) {
  CommandRecord c = MixedCommand(withRandom);
  ProgramSettings settings;
  settings.g_extendedReply = true;
  Clock& clock = SystemClock();
  for (auto _ : state) {
    const int rc = AssembleFrame(c, settings, clock);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(c.frame.bytes.data());
    if (rc != 0) state.SkipWithError("framing failed");
  }
  state.counters["frame_bytes"] = static_cast<double>(c.frame.length);
}

void BM_FrameTwelveMixedParameters(benchmark::State& state) { FrameMixedCommand(state, false); }
void BM_FrameTwelveWithRandomNumber(benchmark::State& state) { FrameMixedCommand(state, true); }

BENCHMARK(BM_FrameTwelveMixedParameters);
BENCHMARK(BM_FrameTwelveWithRandomNumber);

}  // namespace
}  // namespace tervane

BENCHMARK_MAIN();
