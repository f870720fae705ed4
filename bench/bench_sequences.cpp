// Loading and saving a large sequence file: 1,000 sequences of 20 commands each, the
// commands shaped like catalogue ones (accented titles, two to six parameters with
// values, one to four return fields). Saving builds the document and writes it
// atomically (temporary file, flush to disk, rename, flush of the folder); loading reads
// it into a fresh store. Both should stay under 200 ms.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/catalogue/catalogue.h"
#include "core/common/charset.h"
#include "core/sequences/sequence_store.h"

namespace {

using tervane::CommandRecord;
using tervane::CSequence;
using tervane::CSequenceStore;
using tervane::ParameterRecord;
using tervane::ReturnFieldRecord;
using tervane::Utf8ToCp1252Lossy;

constexpr int kSequences = 1000;
constexpr int kCommandsPerSequence = 20;

const char* const kGroups[] = {"Cupom Fiscal", "Relatórios", "Programação", "Informações", "Gaveta", "Não Fiscal"};
const char* const kParamTitles[] = {"Código do produto", "Descrição", "Alíquota", "Quantidade",
                                    "Valor unitário", "Tipo de desconto", "Valor do desconto",
                                    "Unidade de medida", "Número do cupom"};
const char* const kKinds[] = {"STRING", "FINANCE", "DATA", "HORA", "NUMERO", "NOT_EDITABLE", "DIG_HEX", "BINARIO"};
const char* const kReturnTitles[] = {"Número de série", "Contador de operação", "Grande total", "Data e hora",
                                     "Estado da impressora"};
const char* const kReturnKinds[] = {"ASCII", "INTEGER", "BCD", "BCD_FLAG_PAYMENT_MODE"};

CSequenceStore MakeStore(const std::string& path) {
  CSequenceStore store(path);
  unsigned seed = 12345;
  auto next = [&seed](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  for (int s = 0; s < kSequences; ++s) {
    CSequence sequence;
    sequence.name = "SEQUENCIA " + std::to_string(s);
    for (int c = 0; c < kCommandsPerSequence; ++c) {
      CommandRecord command;
      command.group = Utf8ToCp1252Lossy(kGroups[next(6)]);
      command.title = Utf8ToCp1252Lossy("Comando de exemplo nº ") + std::to_string(next(500));
      command.escapeText = std::to_string(next(256)) + " " + std::to_string(next(256));
      command.hasEscape = true;
      tervane::ParseEscapeText(command.escapeText, command);
      command.declaredReturnSize = static_cast<int>(next(200));
      command.returnKind = kReturnKinds[next(4)];
      const unsigned parameters = 2 + next(5);
      for (unsigned p = 0; p < parameters; ++p) {
        ParameterRecord parameter;
        parameter.title = Utf8ToCp1252Lossy(kParamTitles[next(9)]);
        parameter.size = static_cast<int>(1 + next(40));
        parameter.kind = kKinds[next(8)];
        parameter.mandatory = next(2) != 0;
        if (next(3) != 0) parameter.value = std::to_string(next(100000));
        command.parameters.push_back(parameter);
      }
      const unsigned returns = 1 + next(4);
      for (unsigned r = 0; r < returns; ++r) {
        command.returnFields.push_back(ReturnFieldRecord{static_cast<int>(1 + next(20)),
                                                         Utf8ToCp1252Lossy(kReturnTitles[next(5)]),
                                                         kReturnKinds[next(4)], "", ""});
      }
      sequence.commands.push_back(std::move(command));
    }
    store.UpsertSequence(std::move(sequence), false);
  }
  return store;
}

std::string Folder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/tervane_bench_seq_XXXXXX";
    const char* made = ::mkdtemp(pattern);
    return std::string(made ? made : "/tmp");
  }();
  return folder;
}

void BM_SaveSequences(benchmark::State& state) {
  const CSequenceStore store = MakeStore(Folder() + "/sequencias.xml");
  for (auto _ : state) {
    if (store.SaveSequences() != 0) {
      state.SkipWithError("save failed");
      break;
    }
  }
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(store.FilePath())) / 1e6;
}
BENCHMARK(BM_SaveSequences)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_LoadSequences(benchmark::State& state) {
  const std::string path = Folder() + "/sequencias.xml";
  if (MakeStore(path).SaveSequences() != 0) {
    state.SkipWithError("save failed");
    return;
  }
  int commands = 0;
  for (auto _ : state) {
    CSequenceStore store(path);
    if (store.LoadSequences(path) != 0) {
      state.SkipWithError("load failed");
      break;
    }
    commands = 0;
    for (const CSequence& s : store.Sequences()) commands += static_cast<int>(s.commands.size());
    benchmark::DoNotOptimize(commands);
  }
  state.counters["commands"] = commands;
}
BENCHMARK(BM_LoadSequences)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(Folder());
  return 0;
}
