// tervane-cli run in-process against the repository's comandos.xml.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "core/common/string_table.h"
#include "cli/cli_run.h"

namespace tervane::cli::testing {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(CliFrame, BuildsFramesOfCataloguedCommands) {
  const std::string dir = DataDir();
  // By title, by index (decimal and hex) and in extended-reply mode.
  CliRun run = Cli({"frame", "--workdir", dir, "--title", "Marca, Modelo e Tipo"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "02 05 00 1B 23 3C 7A 00\n");
  EXPECT_EQ(run.err, "");

  run = Cli({"frame", "--workdir", dir, "--index", "1"});
  EXPECT_EQ(run.out, "02 05 00 1B 23 3C 7A 00\n");
  run = Cli({"frame", "--workdir", dir, "--index", "0x1"});
  EXPECT_EQ(run.out, "02 05 00 1B 23 3C 7A 00\n");

  run = Cli({"frame", "--workdir", dir, "--title", "Marca, Modelo e Tipo", "--extended"});
  EXPECT_EQ(run.out, "02 05 00 1C 23 3C 7B 00\n");

  // A FINANCE value loses its comma and is padded with zeros to 14 digits.
  run = Cli({"frame", "--workdir", dir, "--title", "Sangria", "--set", "1=1,50"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "02 12 00 1B 19 30 30 30 30 30 30 30 30 30 30 30 31 35 30 DA 02\n");

  // The non-editable parameters keep their catalogue values: DIG_HEX "C8" is one byte.
  run = Cli({"frame", "--workdir", dir, "--title", "Acionamento da Gaveta"});
  EXPECT_EQ(run.out, "02 05 00 1B 16 C8 F9 00\n");
}

TEST(CliFrame, ValuesAreTakenFromUtf8IntoThePrinterCharset) {
  const std::string dir = DataDir();
  // Accented title and value: "Ação" reaches the printer as 41 87 C6 6F, then the LF that
  // ends a variable-size string.
  CliRun run = Cli({"frame", "--workdir", dir, "--title", "Autenticação", "--set", "1=Ação"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "02 09 00 1B 10 41 87 C6 6F 0A 32 02\n");

  // The last --set of a parameter wins; "=" may appear inside the value.
  run = Cli({"frame", "--workdir", dir, "--title", "Autenticação", "--set", "1=x", "--set", "1=a=b"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("02 08 00 1B 10 61 3D 62 0A ")) << run.out;

  // A character Windows-1252 cannot hold is refused, never replaced by "?".
  run = Cli({"frame", "--workdir", dir, "--title", "Autenticação", "--set", "1=Ωmega"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("Windows-1252"), std::string::npos) << run.err;

  // Parameter numbers outside the command, or without "=".
  for (const std::string bad : {"0=x", "2=x", "x=1", "1"}) {
    run = Cli({"frame", "--workdir", dir, "--title", "Autenticação", "--set", bad});
    EXPECT_EQ(run.code, 1) << bad;
    EXPECT_EQ(run.out, "") << bad;
  }
}

TEST(CliFrame, ParameterErrorsGiveTheirMessageAndStatus) {
  const std::string dir = DataDir();
  CliRun run = Cli({"frame", "--workdir", dir, "--title", "Sangria"});
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Parâmetro obrigatório não preenchido\n");

  run = Cli({"frame", "--workdir", dir, "--title", "Sangria", "--set", "1=123456789012345"});
  EXPECT_EQ(run.code, 3);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Parâmetro com tamanho errado\n");

  // An emptied mandatory value after a valid one.
  run = Cli({"frame", "--workdir", dir, "--title", "Venda de Item", "--set", "1=123", "--set", "2="});
  EXPECT_EQ(run.code, 2);

  // Raw mode writes the message as the core holds it.
  run = Cli({"--raw", "frame", "--workdir", dir, "--title", "Sangria"});
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(run.err, Cp("Parâmetro obrigatório não preenchido") + "\r\n");
}

TEST(CliFrame, CommandChoiceErrors) {
  const std::string dir = DataDir();
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"frame", "--workdir", dir, "--index", "93"},
           {"frame", "--workdir", dir, "--index", "-1"},
           {"frame", "--workdir", dir, "--index", "abc"},
           {"frame", "--workdir", dir, "--index", "0x"},
           {"frame", "--workdir", dir, "--index", "99999999999999999999"},
           {"frame", "--workdir", dir, "--title", "Comando Inexistente"},
           {"frame", "--workdir", dir},
           {"frame", "--workdir", dir, "--title", "Sangria", "--index", "1"},
           {"decode", "--workdir", dir, "--index", "500", "--reply", "06 00 00"},
       }) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.code, 1) << args.back();
    EXPECT_EQ(run.out, "") << args.back();
    EXPECT_NE(run.err, "") << args.back();
  }
}

TEST(CliDecode, DecodesFieldsAndStatus) {
  const std::string dir = DataDir();
  CliRun run = Cli({"decode", "--workdir", dir, "--title", "Data e Hora", "--reply",
                    "06 31 12 09 14 30 59 00 00"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.find('\r'), std::string::npos);
  const auto lines = Lines(run.out);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "COMANDO OK"), lines.end()) << run.out;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Data: 31/12/09"), lines.end()) << run.out;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Hora: 14:30:59"), lines.end()) << run.out;

  // The reply may be written without blanks, with commas or in several arguments.
  for (const std::vector<std::string>& reply : std::vector<std::vector<std::string>>{
           {"063112091430590000"}, {"06,31,12,09,14,30,59,00,00"}, {"06 31 12", "09 14 30", "59 0 0"}}) {
    std::vector<std::string> args = {"decode", "--workdir", dir, "--title", "Data e Hora", "--reply"};
    args.insert(args.end(), reply.begin(), reply.end());
    EXPECT_EQ(Cli(args).out, run.out) << reply.front();
  }

  // Extended-reply mode reads the two bytes after ST1 ST2 as the extended code.
  run = Cli({"decode", "--workdir", dir, "--title", "Data e Hora", "--extended", "--reply",
             "06 31 12 09 14 30 59 00 01 07 00"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("COMANDO NÃO EXECUTADO"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("CF ABERTO"), std::string::npos) << run.out;
}

TEST(CliDecode, RefusesWhatItCannotRead) {
  const std::string dir = DataDir();
  CliRun run = Cli({"decode", "--workdir", dir, "--title", "Data e Hora", "--reply", "06 3G"});
  EXPECT_EQ(run.code, 1);
  run = Cli({"decode", "--workdir", dir, "--title", "Data e Hora", "--reply", "063"});
  EXPECT_EQ(run.code, 1);
  run = Cli({"decode", "--workdir", dir, "--title", "Data e Hora", "--reply", " "});
  EXPECT_EQ(run.code, 1);
  run = Cli({"decode", "--workdir", dir, "--title", "Data e Hora"});
  EXPECT_EQ(run.code, 1);
  run = Cli({"decode", "--workdir", dir, "--title", "GPRS: Testa Conexão", "--reply", "06 00 00 00 00"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");

  // A short reply is decoded as far as it goes, with a warning.
  run = Cli({"decode", "--workdir", dir, "--title", "Data e Hora", "--reply", "06 31 12"});
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.err.find("warning"), std::string::npos);
}

TEST(CliStatus, PrintsStatusAndExtendedTexts) {
  CliRun run = Cli({"status", "0", "0"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, "COMANDO OK\n");
  EXPECT_EQ(run.err, "");

  run = Cli({"status", "0", "0", "--raw"});
  EXPECT_EQ(run.out, "COMANDO OK\r\n");

  run = Cli({"status", "0x80", "1"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, "FIM DE PAPEL\nCOMANDO NÃO EXECUTADO\n");

  run = Cli({"status", "0", "0", "0", "0"});
  EXPECT_EQ(run.out, "COMANDO OK\nCOMANDO OK\n");
  run = Cli({"status", "0", "0", "7", "0"});
  EXPECT_EQ(run.out, "COMANDO OK\nCF ABERTO\n");

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"status"}, {"status", "0"}, {"status", "1", "2", "3"}, {"status", "1", "2", "3", "4", "5"},
           {"status", "256", "0"}, {"status", "0", "0x100"}, {"status", "a", "0"}}) {
    run = Cli(args);
    EXPECT_EQ(run.code, 1) << args.size();
    EXPECT_EQ(run.out, "");
  }
}

TEST(CliRaw, RawModeKeepsTheCoreBytes) {
  const std::string dir = DataDir();
  // 87h from the printer is "ç"; 0Ah inside an ASCII field is a line break.
  const std::vector<std::string> args = {"decode", "--workdir", dir, "--title", "Versão do Software Básico",
                                         "--reply", "06 87 61 6F 0A 31 32 00 00"};
  CliRun run = Cli(args);
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Versão:\tçao\n12\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find('\r'), std::string::npos);

  std::vector<std::string> rawArgs = args;
  rawArgs.insert(rawArgs.begin(), "--raw");
  const CliRun raw = Cli(rawArgs);
  EXPECT_NE(raw.out.find(Cp("Versão:\tçao\r\n12\r\n")), std::string::npos);
  EXPECT_FALSE(IsValidUtf8(raw.out));
  // Converting the raw bytes gives the normal output back.
  std::string converted = Cp1252ToUtf8(raw.out);
  std::erase(converted, '\r');
  EXPECT_EQ(converted, run.out);

  // The listing too: Windows-1252 titles and CR LF line ends.
  const CliRun listing = Cli({"catalogue", "--workdir", dir, "--raw"});
  EXPECT_NE(listing.out.find("\t" + Cp("Número de Série") + "\tenabled\r\n"), std::string::npos);
}

TEST(CliCatalogue, ListsEveryCommandWithItsState) {
  const std::string dir = DataDir();
  CliRun run = Cli({"catalogue", "--workdir", dir});
  EXPECT_EQ(run.code, 0) << run.err;
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 93u);
  EXPECT_EQ(lines[0], "0\tConsultas\tStatus do Equipamento\tenabled");
  EXPECT_EQ(lines[1], "1\tConsultas\tMarca, Modelo e Tipo\tenabled");
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(lines[i].starts_with(std::to_string(i) + "\t")) << lines[i];
    EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), '\t'), 3) << lines[i];
    EXPECT_TRUE(lines[i].ends_with("\tenabled")) << lines[i];
  }

  auto stateOf = [](const std::string& listing, const std::string& title) {
    for (const auto& line : Lines(listing)) {
      const size_t start = line.find("\t" + title + "\t");
      if (start != std::string::npos) return line.substr(start + title.size() + 2);
    }
    return std::string("absent");
  };
  // An older model keeps the older reads and loses the newer ones; a newer one the reverse.
  run = Cli({"catalogue", "--workdir", dir, "--model", "ZK-110 A", "--filter"});
  EXPECT_EQ(stateOf(run.out, "Número de Série"), "enabled");
  EXPECT_EQ(stateOf(run.out, "Número de Série da MFD"), "disabled");
  EXPECT_EQ(stateOf(run.out, "Leitura X"), "enabled");
  run = Cli({"catalogue", "--workdir", dir, "--model", "ZT-300 A", "--filter"});
  EXPECT_EQ(stateOf(run.out, "Número de Série"), "disabled");
  EXPECT_EQ(stateOf(run.out, "Número de Série da MFD"), "enabled");
  EXPECT_EQ(stateOf(run.out, "GPRS: Nível do Sinal"), "enabled");
  // Without --filter the model changes nothing; an unknown model enables every bit.
  run = Cli({"catalogue", "--workdir", dir, "--model", "ZT-300 A"});
  EXPECT_EQ(stateOf(run.out, "Número de Série"), "enabled");
  run = Cli({"catalogue", "--workdir", dir, "--model", "XYZ", "--filter"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(stateOf(run.out, "Número de Série"), "enabled");
  EXPECT_NE(run.err, "");
}

TEST(CliCatalogue, UnloadableCatalogueIsReported) {
  const auto dir = std::filesystem::temp_directory_path() / ("tervane-cli-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string expected = Cp1252ToUtf8(LoadString(str::kCatalogoNaoCarregado));
  ASSERT_FALSE(expected.empty());

  CliRun run = Cli({"catalogue", "--workdir", dir.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(run.err.starts_with(expected)) << run.err;

  std::ofstream(dir / "comandos.xml") << "<?xml version=\"1.0\"?><comandos><cmd><titulo>x</cmd>";
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"catalogue", "--workdir", dir.string()},
           {"frame", "--workdir", dir.string(), "--index", "0"},
           {"decode", "--workdir", dir.string(), "--index", "0", "--reply", "06 00 00"}}) {
    run = Cli(args);
    EXPECT_EQ(run.code, 1) << args.front();
    EXPECT_TRUE(run.err.starts_with(expected)) << run.err;
  }
  std::filesystem::remove_all(dir);
}

TEST(CliUsage, HelpAndArgumentErrors) {
  CliRun run = Cli({"--help"});
  EXPECT_EQ(run.code, 0);
  for (const char* word : {"catalogue", "frame", "decode", "status", "--raw", "Exit status"}) {
    EXPECT_NE(run.out.find(word), std::string::npos) << word;
  }
  run = Cli({"frame", "--help"});
  EXPECT_EQ(run.code, 0);
  for (const char* word : {"--workdir", "--title", "--index", "--set", "--extended", "2 a mandatory",
                           "3 a parameter"}) {
    EXPECT_NE(run.out.find(word), std::string::npos) << word;
  }
  run = Cli({"decode", "--help"});
  EXPECT_NE(run.out.find("--reply"), std::string::npos);

  EXPECT_EQ(Cli({}).code, 1);
  EXPECT_EQ(Cli({"send"}).code, 1);
  EXPECT_EQ(Cli({"status", "0", "0", "--bogus"}).code, 1);
}

}  // namespace
}  // namespace tervane::cli::testing
