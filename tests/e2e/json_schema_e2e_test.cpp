// tervane-cli --json as a program against tervane-sim: every command that offers it
// writes exactly one JSON document on standard output, succeeding or failing, with the
// process's exit status in it, and each document validates against the command's schema
// in docs/json (checked by python3-jsonschema).
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include <nlohmann/json.hpp>

#include "e2e/e2e_fixture.h"

namespace tervane::e2e {
namespace {

using ::testing::HasSubstr;

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class JsonSchemaTest : public EndToEndTest {
 protected:
  // Runs tervane-cli with `args` (after `prefix`, an environment or setpriv), keeps its
  // standard output in a file for the schema's batch and checks that the output is one
  // JSON document carrying the process's exit status. Returns the document.
  nlohmann::json Run(const std::string& schema, const std::vector<std::string>& args, int expectedStatus,
                     const std::string& prefix = "") {
    const std::string file = dir() + "/doc" + std::to_string(++count_) + ".json";
    std::string line = prefix + Quote(CliPath());
    for (const std::string& a : args) line += " " + Quote(a);
    line += " >" + Quote(file) + " 2>>" + Quote(dir() + "/stderr.txt");
    const int status = std::system(line.c_str());
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(code, expectedStatus) << line << "\n" << text.str();
    nlohmann::json document;
    try {
      document = nlohmann::json::parse(text.str());
    } catch (const nlohmann::json::exception& e) {
      ADD_FAILURE() << line << ": standard output is not one JSON document (" << e.what() << "):\n" << text.str();
      return document;
    }
    EXPECT_EQ(document.value("exit_status", -1), code) << line;
    documents_[schema].push_back(file);
    return document;
  }

  // Validates every document kept for each schema; all schemas are exercised.
  void ValidateAll() {
    const std::string python = TERVANE_PYTHON3;
    ASSERT_FALSE(python.empty()) << "CMake found no python3 interpreter; the schemas cannot be checked";
    const std::string validator = std::string(TERVANE_REPO_DIR) + "/tests/support/validate_json.py";
    for (const char* schema : {"send", "decode", "status", "frame", "detect", "ports", "sequence-run",
                               "equipment-read"}) {
      ASSERT_FALSE(documents_[schema].empty()) << schema << ": no document to validate";
      std::string line = Quote(python) + " " + Quote(validator) + " " +
                         Quote(std::string(TERVANE_REPO_DIR) + "/docs/json/" + schema + ".schema.json");
      for (const std::string& file : documents_[schema]) line += " " + Quote(file);
      std::FILE* pipe = ::popen((line + " 2>&1").c_str(), "r");
      ASSERT_NE(pipe, nullptr);
      std::string report;
      char buffer[512];
      for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) report.append(buffer, n);
      const int status = ::pclose(pipe);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << schema << ":\n" << report;
    }
  }

 private:
  int count_ = 0;
  std::map<std::string, std::vector<std::string>> documents_;
};

TEST_F(JsonSchemaTest, EveryCommandsDocumentValidatesAgainstItsSchema) {
  SimProcess sim;
  const std::string pty = StartSim(sim, {"--pty"}, "pty");
  ASSERT_FALSE(pty.empty());
  const std::string missing = dir() + "/no-such-tty";
  const std::vector<std::string> work{"--workdir", workDir()};
  auto with = [&](std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };

  // send: an answered query, a port that does not open, a parameter left empty.
  nlohmann::json doc = Run("send", with({"send", "--json", "--port", pty, "--title", kModelQuery}, work), 0);
  EXPECT_EQ(doc["record"]["fields"][1]["title"], "Modelo");
  EXPECT_EQ(doc["record"]["fields"][1]["value"], "ZT-300 A            ");
  EXPECT_EQ(doc["record"]["status"]["texts"][0], "COMANDO OK");
  doc = Run("send", with({"send", "--json", "--port", missing, "--title", kModelQuery}, work), 4);
  EXPECT_EQ(doc["result"]["name"], "exchange_failed");
  EXPECT_THAT(doc["error"].get<std::string>(), HasSubstr(missing));
  doc = Run("send", with({"send", "--json", "--port", pty, "--title", "Programa CNPJ/IE/IM"}, work), 2);
  EXPECT_EQ(doc["result"]["name"], "mandatory_empty");

  // decode: a whole reply in extended mode, a short one (a warning, no status block).
  doc = Run("decode", with({"decode", "--json", "--extended", "--title", "Data e Hora", "--reply",
                            "06 31 12 09 14 30 59 00 01 07 00"}, work), 0);
  EXPECT_EQ(doc["record"]["status"]["extended"]["code"], 7);
  doc = Run("decode", with({"decode", "--json", "--title", "Data e Hora", "--reply", "06 31"}, work), 0);
  EXPECT_TRUE(doc["record"]["status"].is_null());
  EXPECT_THAT(doc["messages"].get<std::string>(), HasSubstr("warning"));
  Run("decode", with({"decode", "--json", "--title", "Data e Hora", "--reply", "zz"}, work), 1);

  // status and frame, with their failures.
  Run("status", {"status", "--json", "0", "0"}, 0);
  Run("status", {"status", "--json", "0xC0", "0x81", "7", "0"}, 0);
  Run("status", {"status", "--json", "300", "0"}, 1);
  doc = Run("frame", with({"frame", "--json", "--title", kModelQuery}, work), 0);
  EXPECT_EQ(doc["record"]["frame"], "02 05 00 1B 23 3C 7A 00");
  Run("frame", with({"frame", "--json", "--title", "Programa CNPJ/IE/IM"}, work), 2);

  // detect: found on the simulator, and with every COM name mapped to nothing. The
  // catalogue loader's own line to standard output must not reach the document.
  std::string comAway;
  for (int n = 2; n <= 8; ++n) comAway += "TERVANE_COM" + std::to_string(n) + "=" + Quote(missing) + " ";
  doc = Run("detect", with({"detect", "--json"}, work), 0, "env TERVANE_COM1=" + Quote(pty) + " " + comAway);
  EXPECT_EQ(doc["model"], "ZT-300 A");
  EXPECT_EQ(doc["port"], "COM1:");
  doc = Run("detect", with({"detect", "--json"}, work), 4, "env TERVANE_COM1=" + Quote(missing) + " " + comAway);
  EXPECT_EQ(doc["printer_found"], false);
  Run("send", {"send", "--json", "--workdir", dir(), "--port", pty, "--title", kModelQuery}, 1);

  // ports, once as an unprivileged user who may not open the simulator's terminal.
  doc = Run("ports", {"ports", "--json", pty}, 0);
  EXPECT_EQ(doc["ports"].back()["state"], "present");
  // Only root can become another user; a normal user running the tests is one already
  // for whom the check below would need a terminal it cannot open.
  if (::geteuid() == 0 && std::system("command -v setpriv >/dev/null 2>&1") == 0) {
    ASSERT_EQ(::chmod(pty.c_str(), 0600), 0);
    doc = Run("ports", {"ports", "--json", pty}, 0, "setpriv --reuid=65534 --regid=65534 --clear-groups ");
    EXPECT_EQ(doc["ports"].back()["state"], "not_accessible");
    EXPECT_TRUE(doc["ports"].back()["access_group"].is_string());
  }

  // sequence run: two commands twice, and a run whose port does not open.
  for (int i = 0; i < 2; ++i) {
    const CliRun add = Cli({"sequence", "add", "S", "--workdir", workDir(), "--title", kModelQuery});
    ASSERT_EQ(add.code, 0) << add.err;
  }
  doc = Run("sequence-run", with({"sequence", "run", "S", "--json", "--times", "2", "--port", pty}, work), 0);
  ASSERT_EQ(doc["runs"].size(), 2u);
  EXPECT_EQ(doc["runs"][1]["commands"][1]["fields"][1]["value"], "ZT-300 A            ");
  doc = Run("sequence-run", with({"sequence", "run", "S", "--json", "--port", missing}, work), 4);
  EXPECT_EQ(doc["runs"][0]["commands"][1]["ran"], false);
  Run("sequence-run", with({"sequence", "run", "NONE", "--json", "--port", pty}, work), 1);

  // equipment read: a whole read, and a printer that is not there.
  doc = Run("equipment-read", with({"equipment", "read", "--json", "--port", pty}, work), 0);
  EXPECT_EQ(doc["whole"], true);
  EXPECT_FALSE(doc["profile"]["serial_number"].get<std::string>().empty());
  Run("equipment-read", with({"equipment", "read", "--json", "--port", missing}, work), 4);

  EXPECT_EQ(sim.Stop(), 0);
  ValidateAll();
}

}  // namespace
}  // namespace tervane::e2e
