// Loading a large catalogue against pugixml parsing the same file alone.
//
// A catalogue of 10,000 commands shaped like the hand-edited one (tab indentation, CR LF
// line ends, accented titles, several parameters and return fields per command, some
// elements left out so that values are inherited) is written once in Windows-1252 and
// once in UTF-8. Each file is parsed by pugixml alone (white space kept, as the loader
// does) and loaded by LoadCatalogueFile; the run ends with the loader/pugixml ratios.
//
// On a machine whose speed drifts (a shared virtual machine), two loops run minutes
// apart compare badly; the Interleaved benchmarks time one parse and one load in turn in
// every iteration, so that both see the same machine, and their ratio is the figure to
// quote.

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <map>
#include <set>
#include <string>

#include "core/catalogue/catalogue.h"
#include "core/common/charset.h"

namespace {

constexpr int kCommands = 10000;

// Windows-1252 texts written in UTF-8 here, converted when the file is Windows-1252.
const char* const kGroups[] = {"Cupom Fiscal", "Relatórios", "Programação", "Informações",
                               "Gaveta", "Não Fiscal", "GPRS"};
const char* const kParamTitles[] = {"Código do produto", "Descrição", "Alíquota", "Quantidade",
                                    "Valor unitário", "Tipo de desconto", "Valor do desconto",
                                    "Unidade de medida", "Número do cupom"};
const char* const kKinds[] = {"STRING", "FINANCE", "DATA", "HORA", "NUMERO", "NOT_EDITABLE",
                              "DIG_HEX", "BINARIO"};
const char* const kReturnTitles[] = {"Número de série", "Contador de operação", "Grande total",
                                     "Data e hora", "Estado da impressora"};
const char* const kReturnKinds[] = {"ASCII", "INTEGER", "BCD", "BCD_FLAG_PAYMENT_MODE"};

std::string MakeCatalogue(bool utf8) {
  std::string x;
  x.reserve(16 << 20);
  x += utf8 ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            : "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\r\n";
  x += "<comandos>\r\n";
  unsigned seed = 12345;
  auto next = [&seed](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  for (int i = 0; i < kCommands; ++i) {
    x += "\t<cmd>\r\n";
    x += "\t\t<tipo>" + std::string(kGroups[next(7)]) + "</tipo>\r\n";
    x += "\t\t<equipamentos_hab>" + std::to_string(1 + next(131071)) + "</equipamentos_hab>\r\n";
    x += "\t\t<titulo>Comando de exemplo nº " + std::to_string(i) + " (versão " +
         std::to_string(next(9)) + ")</titulo>\r\n";
    x += "\t\t<escape>" + std::to_string(next(256)) + " " + std::to_string(next(256)) + "</escape>\r\n";
    x += "\t\t<tamanho_retorno>" + std::to_string(next(200)) + "</tamanho_retorno>\r\n";
    x += "\t\t<tipo_retorno>" + std::string(kReturnKinds[next(4)]) + "</tipo_retorno>\r\n";
    const unsigned parameters = 2 + next(5);
    for (unsigned p = 0; p < parameters; ++p) {
      x += "\t\t<parametro>\r\n";
      x += "\t\t\t<titulo>" + std::string(kParamTitles[next(9)]) + "</titulo>\r\n";
      if (p == 0 || next(4) != 0) x += "\t\t\t<tamanho>" + std::to_string(1 + next(40)) + "</tamanho>\r\n";
      if (p == 0 || next(3) != 0) x += "\t\t\t<formato>" + std::string(kKinds[next(8)]) + "</formato>\r\n";
      x += std::string("\t\t\t<obrigatorio>") + (next(2) ? "S" : "N") + "</obrigatorio>\r\n";
      if (next(2)) x += "\t\t\t<valor>" + std::to_string(next(100000)) + "</valor>\r\n";
      x += "\t\t</parametro>\r\n";
    }
    const unsigned returns = 1 + next(4);
    for (unsigned r = 0; r < returns; ++r) {
      x += "\t\t<retorno>\r\n";
      x += "\t\t\t<titulo>" + std::string(kReturnTitles[next(5)]) + "</titulo>\r\n";
      x += "\t\t\t<tamanho>" + std::to_string(1 + next(20)) + "</tamanho>\r\n";
      x += "\t\t\t<formato>" + std::string(kReturnKinds[next(4)]) + "</formato>\r\n";
      x += "\t\t</retorno>\r\n";
    }
    x += "\t</cmd>\r\n";
  }
  x += "</comandos>\r\n";
  return utf8 ? x : tervane::Utf8ToCp1252Lossy(x);
}

struct Files {
  std::filesystem::path dir;
  std::string cp1252;
  std::string utf8;
  Files() {
    char pattern[] = "/tmp/tervane-bench-XXXXXX";
    dir = mkdtemp(pattern);
    cp1252 = (dir / "cp1252.xml").string();
    utf8 = (dir / "utf8.xml").string();
    std::ofstream(cp1252, std::ios::binary) << MakeCatalogue(false);
    std::ofstream(utf8, std::ios::binary) << MakeCatalogue(true);
  }
  ~Files() { std::filesystem::remove_all(dir); }
};

const Files& TheFiles() {
  static const Files files;
  return files;
}

void PugiParse(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    pugi::xml_document doc;
    const pugi::xml_parse_result r = doc.load_file(path.c_str(), pugi::parse_default | pugi::parse_ws_pcdata);
    if (!r) state.SkipWithError("pugixml failed to parse the generated file");
    benchmark::DoNotOptimize(doc.first_child().internal_object());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
}

void LoaderLoad(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    tervane::CommandCatalogue catalogue;
    if (tervane::LoadCatalogueFile(path, catalogue) != 0 || catalogue.count() != kCommands) {
      state.SkipWithError("the loader failed on the generated file");
    }
    benchmark::DoNotOptimize(catalogue.commands.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
}

// A pugixml parse and a load of the same file, one after the other in each iteration.
void Interleaved(benchmark::State& state, const std::string& path) {
  using Clock = std::chrono::steady_clock;
  Clock::duration pugi{}, ours{};
  for (auto _ : state) {
    const auto start = Clock::now();
    {
      pugi::xml_document doc;
      if (!doc.load_file(path.c_str(), pugi::parse_default | pugi::parse_ws_pcdata)) {
        state.SkipWithError("pugixml failed to parse the generated file");
      }
      benchmark::DoNotOptimize(doc.first_child().internal_object());
    }
    const auto parsed = Clock::now();
    {
      tervane::CommandCatalogue catalogue;
      if (tervane::LoadCatalogueFile(path, catalogue) != 0 || catalogue.count() != kCommands) {
        state.SkipWithError("the loader failed on the generated file");
      }
      benchmark::DoNotOptimize(catalogue.commands.data());
    }
    pugi += parsed - start;
    ours += Clock::now() - parsed;
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["pugixml_ms"] = std::chrono::duration<double, std::milli>(pugi).count() / iterations;
  state.counters["load_ms"] = std::chrono::duration<double, std::milli>(ours).count() / iterations;
  state.counters["ratio"] = pugi.count() > 0 ? static_cast<double>(ours.count()) / static_cast<double>(pugi.count()) : 0;
}

void BM_PugixmlParse_Cp1252(benchmark::State& s) { PugiParse(s, TheFiles().cp1252); }
void BM_LoadCatalogue_Cp1252(benchmark::State& s) { LoaderLoad(s, TheFiles().cp1252); }
void BM_PugixmlParse_Utf8(benchmark::State& s) { PugiParse(s, TheFiles().utf8); }
void BM_LoadCatalogue_Utf8(benchmark::State& s) { LoaderLoad(s, TheFiles().utf8); }

void BM_Interleaved_Cp1252(benchmark::State& s) { Interleaved(s, TheFiles().cp1252); }
void BM_Interleaved_Utf8(benchmark::State& s) { Interleaved(s, TheFiles().utf8); }

BENCHMARK(BM_PugixmlParse_Cp1252)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCatalogue_Cp1252)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlParse_Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCatalogue_Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Interleaved_Cp1252)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Interleaved_Utf8)->Unit(benchmark::kMillisecond);

// Prints as usual, then the ratio of each loader run to the pugixml run of its file.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // The median when repetitions are asked for, else the single run.
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const std::string& name = run.run_name.function_name;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (median) {
        times_[name] = run.GetAdjustedCPUTime();
        medians_.insert(name);
      } else if (run.run_type == Run::RT_Iteration && !medians_.count(name)) {
        times_[name] = run.GetAdjustedCPUTime();
      }
      if (const auto ratio = run.counters.find("ratio"); ratio != run.counters.end() &&
                                                         (median || !medians_.count(name))) {
        ratios_[name] = ratio->second.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const char* file : {"Cp1252", "Utf8"}) {
      const auto pugi = times_.find(std::string("BM_PugixmlParse_") + file);
      const auto ours = times_.find(std::string("BM_LoadCatalogue_") + file);
      if (pugi == times_.end() || ours == times_.end() || pugi->second <= 0) continue;
      std::printf("%s: LoadCatalogueFile / pugixml parse (CPU time) = %.2f (limit 1.50)\n", file,
                  ours->second / pugi->second);
    }
    for (const char* file : {"Cp1252", "Utf8"}) {
      const auto ratio = ratios_.find(std::string("BM_Interleaved_") + file);
      if (ratio == ratios_.end()) continue;
      std::printf("%s: LoadCatalogueFile / pugixml parse, interleaved (wall time) = %.2f (limit 1.50)\n", file,
                  ratio->second);
    }
  }

 private:
  std::map<std::string, double> times_;
  std::map<std::string, double> ratios_;
  std::set<std::string> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  // By default freed memory stays in the process, so that every iteration after the
  // first runs on pages already mapped: the comparison is then of the work done, not of
  // page faults, which otherwise swing pugixml's own time by a factor of four between
  // runs. TERVANE_BENCH_COLD=1 leaves the allocator as it is, closer to one load in a
  // fresh process; with --benchmark_filter=Interleaved --benchmark_min_time=0 as well,
  // each file gets exactly one parse and one load in a fresh process.
  const char* cold = std::getenv("TERVANE_BENCH_COLD");
  if (!cold || std::string(cold) != "1") {
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
