// The protocol monitor between real clients (tervane-cli, and an independent pyserial
// script sending hand-built frames) and the real tervane-sim; transcripts recorded from
// a run, replayed by the simulator, compared between two printers, and checked against
// their schema.
#include <nlohmann/json.hpp>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "core/monitor/transcript.h"
#include "e2e_fixture.h"

namespace tervane::e2e {
namespace {

using Json = nlohmann::json;

bool WaitForPath(const std::string& path, bool present, int ms = 5000) {
  for (int i = 0; i < ms / 10; ++i) {
    struct stat st {};
    if ((::lstat(path.c_str(), &st) == 0) == present) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// Runs a shell command and returns its standard output.
std::string Output(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int code = ::pclose(pipe);
  if (status) *status = WIFEXITED(code) ? WEXITSTATUS(code) : -1;
  return out;
}

// A Python that has `module`: the one on the path, else the system's; empty when neither.
std::string PythonWith(const std::string& module) {
  for (const std::string python : {"python3", "/usr/bin/python3"}) {
    if (Output(python + " -c 'import " + module + "' 2>/dev/null && echo yes") == "yes\n") return python;
  }
  return {};
}

std::string Hex(const std::string& spaced) {
  std::string out;
  for (char c : spaced) out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

class MonitorTest : public EndToEndTest {
 protected:
  void StartPair(const std::vector<std::string>& simArgs = {}) {
    std::vector<std::string> args{"--pty", "--link", dir() + "/printer"};
    args.insert(args.end(), simArgs.begin(), simArgs.end());
    ASSERT_FALSE(StartSim(sim_, args, "pty").empty());
    ASSERT_TRUE(monitor_.Start(CliPath(), {"monitor", "--workdir", workDir(), "--device", dir() + "/printer",
                                           "--link", pos(), "--json", "--record", dir() + "/monitor.jsonl"}));
    ASSERT_TRUE(WaitForPath(pos(), true));
  }
  std::string pos() const { return dir() + "/pos"; }
  Json NextExchange() {
    const std::string line = monitor_.Line(5000);
    Json j = Json::parse(line, nullptr, false);
    EXPECT_FALSE(j.is_discarded()) << line;
    return j;
  }

  SimProcess sim_;
  SimProcess monitor_;
};

TEST_F(MonitorTest, OurCliThroughTheMonitorGetsTheSameAnswerAndEachExchangeIsDecoded) {
  StartPair();
  const CliRun run = Cli({"send", "--workdir", workDir(), "--port", pos(), "--title", kModelQuery, "--trace"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, ::testing::HasSubstr("ZT-300 A"));
  const Json exchange = NextExchange();
  EXPECT_EQ(exchange["summary"]["title"], kModelQuery);
  EXPECT_EQ(exchange["summary"]["frame"], "good");
  EXPECT_EQ(exchange["summary"]["reply"], "ack");
  EXPECT_EQ(exchange["summary"]["status"][0], "COMANDO OK");
  EXPECT_EQ(exchange["summary"]["fields"][1]["title"], "Modelo");
  EXPECT_EQ(exchange["summary"]["fields"][1]["value"].get<std::string>().substr(0, 8), "ZT-300 A");
  // The bytes the client traced are the bytes the monitor saw on each side.
  EXPECT_THAT(run.out, ::testing::HasSubstr("CMD:  " + exchange["command"].get<std::string>()));
  EXPECT_THAT(run.out, ::testing::HasSubstr("RET:  " + exchange["reply"].get<std::string>()));

  // A command with parameters: its values are decoded by kind.
  const CliRun sale = Cli({"send", "--workdir", workDir(), "--port", pos(), "--title", "Abertura de Cupom Fiscal",
                           "--set", "1=12345678901234"});
  EXPECT_NE(sale.code, 1) << sale.err;
  const Json opened = NextExchange();
  EXPECT_EQ(opened["summary"]["title"], "Abertura de Cupom Fiscal");
  ASSERT_EQ(opened["summary"]["parameters"].size(), 1u);
  EXPECT_THAT(opened["summary"]["parameters"][0]["value"].get<std::string>(), ::testing::HasSubstr("12345678901234"));

  EXPECT_EQ(monitor_.Stop(SIGTERM), 0);
  EXPECT_TRUE(WaitForPath(pos(), false)) << "the link is removed at the end";
  // The device is free again: a client opens it directly.
  EXPECT_EQ(Cli({"send", "--workdir", workDir(), "--port", dir() + "/printer", "--title", kModelQuery}).code, 0);
}

TEST_F(MonitorTest, HandBuiltFramesFromAnIndependentClientCorruptOnesFlaggedAndForwarded) {
  const std::string python = PythonWith("serial");
  if (python.empty()) GTEST_SKIP() << "no python3-serial";
  StartPair();
  int status = -1;
  const std::string client =
      Output(python + " " + std::string(TERVANE_REPO_DIR) + "/tests/e2e/monitor_client.py " + pos(), &status);
  ASSERT_EQ(status, 0) << client;
  const std::string modelReplyStart = "06 4b 45 4c 4f";  // ACK "KELO"
  EXPECT_THAT(client, ::testing::HasSubstr("reply good " + modelReplyStart));
  EXPECT_THAT(client, ::testing::HasSubstr("reply corrupt 15"));
  EXPECT_THAT(client, ::testing::HasSubstr("reply split " + modelReplyStart));
  EXPECT_THAT(client, ::testing::HasSubstr("reply reopened " + modelReplyStart));

  const Json good = NextExchange();
  EXPECT_EQ(good["summary"]["title"], kModelQuery);
  EXPECT_EQ(good["command"], "02 05 00 1B 23 3C 7A 00");
  const Json corrupt = NextExchange();
  EXPECT_EQ(corrupt["summary"]["frame"], "bad checksum");
  EXPECT_EQ(corrupt["command"], "02 05 00 1B 23 3C 85 00") << "forwarded as it came";
  EXPECT_EQ(corrupt["summary"]["reply"], "nak");
  // The noise: shown as bytes outside any frame, whatever the printer said to it.
  Json next = NextExchange();
  EXPECT_EQ(next["summary"]["frame"], "bad length");
  EXPECT_THAT(next["command"].get<std::string>(), ::testing::StartsWith("AA 55"));
  while (next["command"] != "02 05 00 1B 23 3C 7A 00") next = NextExchange();
  EXPECT_EQ(next["summary"]["reply"], "ack") << "the split frame";
  const Json reopened = NextExchange();
  EXPECT_EQ(reopened["summary"]["title"], kModelQuery);
  EXPECT_EQ(reopened["reply"].get<std::string>().substr(0, 14), Hex(modelReplyStart));
  EXPECT_EQ(monitor_.Stop(SIGINT), 0);
}

TEST_F(MonitorTest, RandomBytesFromThePrinterAreForwardedAndShownUndecoded) {
  StartPair({"--fault", "garbage", "--seed", "7"});
  const CliRun run = Cli({"send", "--workdir", workDir(), "--port", pos(), "--title", kModelQuery, "--trace"});
  EXPECT_EQ(run.code, 4) << run.out;
  const Json exchange = NextExchange();
  EXPECT_EQ(exchange["summary"]["title"], kModelQuery);
  const std::string reply = exchange["reply"].get<std::string>();
  EXPECT_FALSE(reply.empty());
  EXPECT_THAT(run.out, ::testing::HasSubstr(reply.substr(0, 8)));
  if (reply.rfind("06", 0) != 0 && reply.rfind("15", 0) != 0) {
    EXPECT_EQ(exchange["summary"]["reply"], "unknown");
  }
  // Still forwarding afterwards.
  EXPECT_EQ(monitor_.Stop(SIGTERM), 0);
}

TEST_F(MonitorTest, APrinterUnpluggedMidSessionEndsTheMonitorAndReleasesEverything) {
  StartPair();
  ASSERT_EQ(Cli({"send", "--workdir", workDir(), "--port", pos(), "--title", kModelQuery}).code, 0);
  EXPECT_EQ(NextExchange()["summary"]["reply"], "ack");
  sim_.Stop(SIGTERM);  // the device goes away
  EXPECT_EQ(monitor_.Stop(0), 4);
  EXPECT_FALSE(WaitForPath(pos(), true, 10)) << "link left behind";
  // The transcript of the session is in place.
  std::vector<TranscriptEntry> entries;
  std::string error;
  EXPECT_EQ(ReadTranscriptFile(dir() + "/monitor.jsonl", entries, nullptr, &error), 0) << error;
  EXPECT_EQ(entries.size(), 1u);
}

TEST_F(MonitorTest, ARecordedSequenceReplaysIdenticallyAndTranscriptsValidate) {
  const std::string link = dir() + "/printer";
  ASSERT_EQ(Cli({"sequence", "add", "--workdir", workDir(), "--title", kModelQuery, "CONSULTA"}).code, 0);
  ASSERT_EQ(Cli({"sequence", "add", "--workdir", workDir(), "--title", "Status do Equipamento", "CONSULTA"}).code, 0);
  SimProcess recorded;
  ASSERT_FALSE(StartSim(recorded, {"--pty", "--link", link, "--paper", "low"}, "pty").empty());
  const std::string transcript = dir() + "/run.jsonl";
  const CliRun first =
      Cli({"sequence", "run", "--workdir", workDir(), "--port", link, "--record", transcript, "CONSULTA"});
  ASSERT_EQ(first.code, 0) << first.err;
  recorded.Stop();

  // Another printer, answering from the transcript: the same run, the same results.
  SimProcess replaying;
  ASSERT_FALSE(StartSim(replaying, {"--pty", "--link", link, "--model", "ZK-110 A", "--replay", transcript}, "pty")
                   .empty());
  const CliRun second = Cli({"sequence", "run", "--workdir", workDir(), "--port", link, "CONSULTA"});
  ASSERT_EQ(second.code, 0) << second.err;
  EXPECT_EQ(second.out, first.out);
  EXPECT_THAT(second.out, ::testing::HasSubstr("ZT-300 A"));
  EXPECT_THAT(second.out, ::testing::HasSubstr("POUCO PAPEL"));
  replaying.Stop();

  // Every line of the transcript validates against the documented schema.
  const std::string python = PythonWith("jsonschema");
  const std::string check = python + " -c '" +
                            "import json,sys,jsonschema\n"
                            "schema=json.load(open(sys.argv[1]))\n"
                            "n=0\n"
                            "for line in open(sys.argv[2]):\n"
                            "  jsonschema.validate(json.loads(line), schema); n+=1\n"
                            "print(n)' " +
                            std::string(TERVANE_REPO_DIR) + "/docs/transcript.schema.json " + transcript + " 2>&1";
  if (!python.empty()) {
    EXPECT_EQ(Output(check), "2\n");
  }
}

TEST_F(MonitorTest, TranscriptsOfTwoModelsDifferInTheModelQuerysFields) {
  const std::string link = dir() + "/printer";
  std::vector<std::string> files;
  for (const std::string model : {"ZT-300 A", "ZK-110 A"}) {
    SimProcess printer;
    ASSERT_FALSE(StartSim(printer, {"--pty", "--link", link, "--model", model}, "pty").empty());
    files.push_back(dir() + "/" + model.substr(0, 2) + ".jsonl");
    ASSERT_EQ(Cli({"send", "--workdir", workDir(), "--port", link, "--title", kModelQuery, "--record", files.back()})
                  .code,
              0);
    ASSERT_EQ(Cli({"send", "--workdir", workDir(), "--port", link, "--title", "Status do Equipamento", "--record",
                   files.back() + ".status"})
                  .code,
              0);
    printer.Stop();
  }
  const CliRun diff = Cli({"transcript", "diff", "--workdir", workDir(), files[0], files[1]});
  EXPECT_EQ(diff.code, 9) << diff.out << diff.err;
  EXPECT_THAT(diff.out, ::testing::HasSubstr(kModelQuery));
  EXPECT_THAT(diff.out, ::testing::HasSubstr("Modelo: \"ZT-300 A"));
  EXPECT_THAT(diff.out, ::testing::HasSubstr("| \"ZK-110 A"));
  EXPECT_THAT(diff.out, ::testing::Not(::testing::HasSubstr("Marca:")));
  const CliRun same = Cli({"transcript", "diff", "--workdir", workDir(), files[0] + ".status", files[1] + ".status"});
  EXPECT_EQ(same.code, 0) << same.out;

  const CliRun shown = Cli({"transcript", "show", "--workdir", workDir(), files[1]});
  EXPECT_EQ(shown.code, 0);
  EXPECT_THAT(shown.out, ::testing::HasSubstr("ZK-110 A"));
  EXPECT_THAT(shown.out, ::testing::HasSubstr(">> 02 05 00 1B 23 3C 7A 00"));
}

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  return address;
}

// A TCP port free on the loopback a moment ago.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

bool WaitForListener(int port) {
  for (int i = 0; i < 500; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    const bool up = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (up) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST_F(MonitorTest, TheNetworkBridgeIsMonitoredConnectionByConnection) {
  SimProcess bridge;
  const std::string upstream = StartSim(bridge, {"--tcp", "0"}, "tcp");
  ASSERT_FALSE(upstream.empty());
  const int port = FreePort();
  const std::string listen = "127.0.0.1:" + std::to_string(port);
  ASSERT_TRUE(monitor_.Start(CliPath(), {"monitor", "--workdir", workDir(), "--listen", listen, "--forward", upstream,
                                         "--json"}));
  ASSERT_TRUE(WaitForListener(port));
  const CliRun run =
      Cli({"send", "--workdir", workDir(), "--port", "SOCKET", "--address", listen, "--title", kModelQuery});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_THAT(run.out, ::testing::HasSubstr("ZT-300 A"));
  // A second command on a new connection.
  ASSERT_EQ(Cli({"send", "--workdir", workDir(), "--port", "SOCKET", "--address", listen, "--title",
                 "Status do Equipamento"})
                .code,
            0);
  const Json exchange = NextExchange();
  EXPECT_EQ(exchange["summary"]["title"], kModelQuery);
  EXPECT_EQ(exchange["command"], "02 05 00 1B 23 3C 7A 00") << "the announced length is not part of the frame";
  EXPECT_EQ(NextExchange()["summary"]["title"], "Status do Equipamento");
  EXPECT_EQ(monitor_.Stop(SIGTERM), 0);
}

}  // namespace
}  // namespace tervane::e2e
