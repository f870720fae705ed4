// The record-to-JSON mapping of --json and the document a run writes: Windows-1252
// texts come out as UTF-8, bytes as hexadecimal, passwords never; a failing command
// still writes one document with its exit status and error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/cli_run.h"
#include "cli/json_output.h"
#include "core/common/charset.h"

namespace tervane::cli {
namespace {

using testing::Cli;
using testing::CliRun;
using testing::DataDir;
using ::testing::HasSubstr;
using ::testing::Not;

// A strict parse: throws on anything but one valid UTF-8 JSON document.
Json Parse(const std::string& text) { return Json::parse(text); }

// A record as an exchange leaves it: a title and values in Windows-1252, a password
// parameter, an acknowledged reply with one ASCII field, ST1 ST2 and the extended code.
CommandRecord ExchangedRecord() {
  CommandRecord c;
  c.title = "Redu\xE7\xE3o Z";  // "Redução Z"
  c.group = "Opera\xE7\xF5" "es";
  c.escapeText = "35 60";
  c.escapeBytes[0] = 0x23;
  c.escapeBytes[1] = 0x3C;
  c.escapeCount = 2;
  c.declaredReturnSize = 2;
  c.parameters.push_back({4, true, "Munic\xEDpio", "STRING", "S\xE3o Paulo", ""});
  c.parameters.push_back({2, true, "SENHA", "DIG_HEX", "BEEF", ""});
  c.returnFields.push_back({2, "Situa\xE7\xE3o", "ASCII", "\xE9x", "\xE9x"});
  const std::uint8_t frame[] = {0x02, 0x09, 0x00, 0x1B, 0x23, 0xBE, 0xEF, 0x3C, 0x00};
  for (size_t k = 0; k < sizeof frame; ++k) c.frame.bytes[k] = frame[k];
  c.frame.length = sizeof frame;
  c.secretFrameBytes.push_back({5, 7});
  c.StatusBlockLength = 5;
  c.replyData = {0x06, 0x82, 0x78, 0x41, 0x01, 0x03, 0x00};
  c.HexTrace = "CMD:  02 09 00 1B 23 ** ** 3C 00\r\nRET:  06 82 78 41 01 03 00\r\n";
  c.ResultText = "\r\nComando:\tRedu\xE7\xE3o Z\r\nSitua\xE7\xE3o:\t\xE9x\r\n";
  return c;
}

TEST(JsonOutput, RecordTextsAreUtf8BytesHexAndPasswordsHidden) {
  const Json record = RecordJson(ExchangedRecord(), true);
  // A strict dump throws on invalid UTF-8: every core text went through the conversion.
  const std::string dumped = record.dump();
  EXPECT_EQ(record["title"], "Redução Z");
  EXPECT_EQ(record["group"], "Operações");
  EXPECT_EQ(record["command_bytes"], "23 3C");
  EXPECT_EQ(record["parameters"][0]["title"], "Município");
  EXPECT_EQ(record["parameters"][0]["value"], "São Paulo");
  EXPECT_EQ(record["parameters"][1]["secret"], true);
  EXPECT_TRUE(record["parameters"][1]["value"].is_null());
  EXPECT_EQ(record["frame"], "02 09 00 1B 23 ** ** 3C 00");
  EXPECT_THAT(dumped, Not(HasSubstr("BE EF")));
  EXPECT_THAT(dumped, Not(HasSubstr("BEEF")));
  EXPECT_EQ(record["reply"], "06 82 78 41 01 03 00");
  EXPECT_EQ(record["acknowledgement"], "ACK");
  EXPECT_EQ(record["fields"][0]["title"], "Situação");
  EXPECT_EQ(record["fields"][0]["value"], "éx");
  // The status block follows the field's two bytes: ST1 41h, ST2 01h, extended code 3.
  const Json& status = record["status"];
  EXPECT_EQ(status["st1"], 0x41);
  EXPECT_EQ(status["st2"], 0x01);
  EXPECT_EQ(status["texts"], Json::array({"POUCO PAPEL", "NÚMERO DE PARÂMETROS DE CMD INVÁLIDO",
                                          "COMANDO NÃO EXECUTADO"}));
  EXPECT_EQ(status["extended"]["code"], 3);
  EXPECT_EQ(status["extended"]["text"], "NÚMERO DE PARÂMETROS INVÁLIDO");
  // CR LF becomes LF; the leading line break of the result text goes.
  EXPECT_EQ(record["result_text"], "Comando:\tRedução Z\nSituação:\téx\n");

  // Without extended mode, and for a reply too short for its status bytes, less is read.
  EXPECT_TRUE(RecordJson(ExchangedRecord(), false)["status"]["extended"].is_null());
  CommandRecord shortReply = ExchangedRecord();
  shortReply.replyData = {0x06, 0x82, 0x78, 0x41};
  EXPECT_TRUE(RecordJson(shortReply, true)["status"].is_null());
  // `frame` shows the frame it built whole, as its text does.
  EXPECT_EQ(RecordJson(ExchangedRecord(), true, true)["frame"], "02 09 00 1B 23 BE EF 3C 00");
}

TEST(JsonOutput, FailedAndRefusedExchanges) {
  CommandRecord failed = ExchangedRecord();
  failed.replyData.clear();
  failed.portFailure = "N\xE3o foi poss\xEDvel abrir a porta COM1:";
  JsonReport report;
  ReportCommand(report, kExchangeFailed, failed, true);
  EXPECT_EQ(report.body["result"]["code"], -4);
  EXPECT_EQ(report.body["result"]["name"], "exchange_failed");
  EXPECT_TRUE(report.body["record"]["reply"].is_null());
  EXPECT_TRUE(report.body["record"]["acknowledgement"].is_null());
  EXPECT_TRUE(report.body["record"]["status"].is_null());
  EXPECT_EQ(report.body["record"]["port_failure"], "Não foi possível abrir a porta COM1:");

  CommandRecord refused = ExchangedRecord();
  refused.replyData = {0x15};
  const Json record = RecordJson(refused, false);
  EXPECT_EQ(record["acknowledgement"], "NAK");
  EXPECT_TRUE(record["status"].is_null());
  EXPECT_EQ(ResultJson(-99)["name"], "other");
  // Bytes that are not UTF-8 in a text from the system are read as Windows-1252.
  EXPECT_EQ(JsonUtf8("/dev/serial/by-id/caf\xE9"), "/dev/serial/by-id/café");
  EXPECT_EQ(JsonUtf8("café"), "café");
}

TEST(JsonOutput, EveryRunWritesOneDocumentWithItsExitStatus) {
  // Success: the envelope, the text the text mode prints, the command's own keys.
  CliRun run = Cli({"status", "--json", "0", "0"});
  ASSERT_EQ(run.code, 0) << run.err;
  Json doc = Parse(run.out);
  EXPECT_EQ(doc["command"], "status");
  EXPECT_EQ(doc["exit_status"], 0);
  EXPECT_EQ(doc["ok"], true);
  EXPECT_TRUE(doc["error"].is_null());
  EXPECT_EQ(doc["text"], Cli({"status", "0", "0"}).out);
  EXPECT_EQ(doc["status"]["texts"], Json::array({"COMANDO OK"}));

  // A failing command: the same exit status as the text mode, the error in the document
  // and on standard error.
  const std::vector<std::string> unknown{"decode", "--workdir", DataDir(), "--title", "Não existe", "--reply", "06"};
  std::vector<std::string> withJson = unknown;
  withJson.push_back("--json");
  run = Cli(withJson);
  EXPECT_EQ(run.code, Cli(unknown).code);
  doc = Parse(run.out);
  EXPECT_EQ(doc["exit_status"], run.code);
  EXPECT_EQ(doc["ok"], false);
  EXPECT_EQ(doc["error"], "No command titled \"Não existe\".");
  EXPECT_THAT(run.err, HasSubstr("No command titled"));

  // Arguments that do not parse, a command without --json, and --raw with --json.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"send", "--json", "--no-such-option"}, {"catalogue", "--json"}, {"status", "--json", "--raw", "0", "0"}}) {
    run = Cli(args);
    EXPECT_EQ(run.code, 1) << args[0];
    doc = Parse(run.out);
    EXPECT_EQ(doc["exit_status"], 1) << args[0];
    EXPECT_TRUE(doc["error"].is_string()) << args[0];
    EXPECT_FALSE(doc["error"].get<std::string>().empty()) << args[0];
  }

  // A frame with a password: the parameter's value is never written.
  run = Cli({"frame", "--json", "--workdir", DataDir(), "--title", "Programa CNPJ/IE/IM", "--set", "1=1", "--set",
             "2=IE", "--set", "3=IM", "--set", "4=1", "--set", "5=B", "--set", "6=SP", "--set",
             "7=0123456789ABCDEF0123"});
  ASSERT_EQ(run.code, 0) << run.err;
  doc = Parse(run.out);
  EXPECT_TRUE(doc["record"]["parameters"][6]["value"].is_null());
  EXPECT_EQ(doc["record"]["frame"], doc["text"].get<std::string>().substr(0, doc["text"].get<std::string>().size() - 1));
}

}  // namespace
}  // namespace tervane::cli
