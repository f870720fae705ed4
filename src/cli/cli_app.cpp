#include "cli/cli_app.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <ostream>
#include <sstream>
#include <streambuf>

#include "cli/catalogue_command.h"
#include "cli/cli_command.h"
#include "cli/cli_environment.h"
#include "cli/cli_support.h"
#include "cli/decode_command.h"
#include "cli/detect_command.h"
#include "cli/diagnose_command.h"
#include "cli/equipment_command.h"
#include "cli/frame_command.h"
#include "cli/json_output.h"
#include "cli/monitor_command.h"
#include "cli/pdf417_command.h"
#include "cli/ports_command.h"
#include "cli/profile_command.h"
#include "cli/send_command.h"
#include "cli/sequence_command.h"
#include "cli/status_command.h"
#include "cli/transcript_command.h"
#include "cli/usb_command.h"
#include "core/common/version.h"
// Memory tools.
#include "cli/keys_command.h"
#include "cli/mf_command.h"
#include "cli/mfd_command.h"
#include "cli/sb_command.h"
#include "cli/validate_command.h"
#ifdef TERVANE_HAVE_LOGO
#include "cli/logo/logo_command.h"
#endif

namespace tervane::cli {

namespace {

// Writes to the stream it passes to and keeps a copy: in --json mode what goes to
// standard error also goes into the document's messages.
class CopyingBuffer final : public std::streambuf {
 public:
  explicit CopyingBuffer(std::ostream& target) : target_(target) {}
  const std::string& copy() const { return copy_; }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    target_.write(&ch, 1);
    copy_ += ch;
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    target_.write(s, n);
    copy_.append(s, static_cast<size_t>(n));
    return n;
  }
  int sync() override {
    target_.flush();
    return 0;
  }

 private:
  std::ostream& target_;
  std::string copy_;
};

// While it lives, what the process writes to its standard output descriptor goes to
// standard error instead (the catalogue loader writes a line there of its own), so that
// standard output carries the JSON document alone.
class StdoutToStderr {
 public:
  explicit StdoutToStderr(bool active) {
    if (!active) return;
    std::cout.flush();
    std::fflush(stdout);
    saved_ = ::dup(STDOUT_FILENO);
    if (saved_ >= 0 && ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
      ::close(saved_);
      saved_ = -1;
    }
  }
  ~StdoutToStderr() {
    if (saved_ < 0) return;
    std::cout.flush();
    std::fflush(stdout);
    ::dup2(saved_, STDOUT_FILENO);
    ::close(saved_);
  }
  StdoutToStderr(const StdoutToStderr&) = delete;
  StdoutToStderr& operator=(const StdoutToStderr&) = delete;

 private:
  int saved_ = -1;
};

// What was written to standard error, as the document's messages: a progress line
// redrawn with CR and cleared with ESC [K is left out, only the text after the last CR
// of a line counts, and empty lines go.
std::string MessagesText(const std::string& written) {
  std::string messages;
  size_t start = 0;
  while (start < written.size()) {
    size_t end = written.find('\n', start);
    if (end == std::string::npos) end = written.size();
    std::string line = written.substr(start, end - start);
    if (const size_t cr = line.rfind('\r'); cr != std::string::npos) line.erase(0, cr + 1);
    for (size_t esc = line.find("\033[K"); esc != std::string::npos; esc = line.find("\033[K")) line.erase(esc, 3);
    if (!line.empty()) messages += line + "\n";
    start = end + 1;
  }
  return messages;
}

// "send", "sequence run": the names of the (sub)commands parsed.
std::string CommandPath(const CLI::App& sub) {
  std::string path = sub.get_name();
  const CLI::App* level = &sub;
  for (;;) {
    const std::vector<const CLI::App*> parsed = level->get_subcommands([](const CLI::App* a) { return a->parsed(); });
    if (parsed.empty()) break;
    level = parsed.front();
    path += " " + level->get_name();
  }
  return path;
}

// The document around what a command reported: the envelope first, then the command's
// own keys.
int WriteJsonRun(const std::string& command, int status, const std::string& text, const std::string& written,
                 const JsonReport& report, std::ostream& out) {
  const std::string messages = MessagesText(written);
  Json document = Json::object();
  document["format"] = "tervane-cli";
  document["format_version"] = kJsonFormatVersion;
  document["version"] = kVersion;
  document["command"] = command;
  document["exit_status"] = status;
  document["ok"] = status == kExitOk;
  document["text"] = JsonUtf8(text);
  document["messages"] = JsonUtf8(messages);
  if (status == kExitOk) {
    document["error"] = nullptr;
  } else {
    std::string error = JsonUtf8(messages);
    while (!error.empty() && error.back() == '\n') error.pop_back();
    document["error"] = error.empty() ? "exit status " + std::to_string(status) : error;
  }
  for (const auto& [key, value] : report.body.items()) document[key] = value;
  WriteJsonDocument(out, document);
  return status;
}

// Runs a parsed command in --json mode: its text output is kept for the document, its
// messages go to `err` and into the document.
int RunWithJson(const CLI::App& sub, CliCommand& command, OutputOptions& output, std::ostream& out,
                std::ostream& err) {
  const std::string name = CommandPath(sub);
  JsonReport report;
  CopyingBuffer copying(err);
  std::ostream messages(&copying);
  std::ostringstream text;
  int status = kExitUsage;
  if (!command.offersJson()) {
    WriteMessage(messages, "--json is not offered by `" + name + "`.", output);
  } else {
    output.report = &report;
    StdoutToStderr redirect(&out == &std::cout);
    status = command.execute(text, messages);
    output.report = nullptr;
  }
  messages.flush();
  return WriteJsonRun(name, status, text.str(), copying.copy(), report, out);
}

int RunCliWith(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const CliContext& context, const CliEnvironment& environment) {
  OutputOptions output;
  CLI::App app(
      "tervane-cli: the Tervane core from a terminal. Sends catalogue commands to a printer, "
      "finds the printer and lists the ports; lists the command catalogue, builds command "
      "frames, decodes replies and status bytes; keeps and runs command sequences; reads a "
      "printer's configuration into an equipment profile and programs a printer from one.",
      "tervane-cli");
  CLI::Option* rawFlag = app.add_flag("--raw", output.raw,
                                      "Write texts as the core holds them: Windows-1252 bytes with CR LF "
                                      "line ends (default: UTF-8 with LF)");
  bool json = false;
  CLI::Option* jsonFlag = app.add_flag(
      "--json", json,
      "Write one JSON document to standard output instead of the text (send, decode, status, frame, detect, "
      "ports, sequence run, equipment read); see docs/json/");
  rawFlag->excludes(jsonFlag);
  app.set_version_flag("--version", std::string("tervane-cli ") + kVersion, "Print the version and exit");
  app.require_subcommand(1);
  app.footer(
      "Numbers (indexes, parameter numbers, bytes) are decimal or 0x-prefixed hexadecimal.\n"
      "The catalogue is comandos.xml in --workdir, or in the current directory.\n"
      "Commands that talk to a printer (send, detect) take --workdir, --extended and --model;\n"
      "send also --port, --address and --exchange-dir. Their exchanges go to the daily log in\n"
      "<workdir>/log. Ctrl-C cancels an exchange as the Cancel button does.\n"
      "Exit status:\n"
      "  0  success\n"
      "  1  usage error, unknown command, or catalogue not loadable\n"
      "  2  a mandatory parameter is empty (frame, send, sequence run)\n"
      "  3  a parameter has the wrong size (frame, send, sequence run)\n"
      "  4  the exchange with the printer failed, or no printer answered (send, detect, sequence run,\n"
      "     equipment); a programming command was refused (equipment program)\n"
      "  5  a command was cancelled with Ctrl-C (send, detect, sequence run)\n"
      "  6  a sequence was cancelled between commands (sequence run)\n"
      "  7  the memory library or its entry point is missing (mf, mfd, sb, keys, validate)\n"
      "  8  the memory library reported a failure, or the file did not validate (mf, mfd, sb, keys,\n"
      "     validate)");

  std::vector<std::unique_ptr<CliCommand>> commands;
  commands.push_back(std::make_unique<CatalogueCommand>(output));
  commands.push_back(std::make_unique<FrameCommand>(output));
  commands.push_back(std::make_unique<DecodeCommand>(output));
  commands.push_back(std::make_unique<StatusCommand>(output));
  commands.push_back(std::make_unique<SendCommand>(output, context));
  commands.push_back(std::make_unique<DetectCommand>(output, context));
  commands.push_back(std::make_unique<PortsCommand>(output));
  commands.push_back(std::make_unique<UsbCommand>(output));
  commands.push_back(std::make_unique<SequenceCommand>(output, environment));
  commands.push_back(std::make_unique<EquipmentCommand>(output, environment));
  commands.push_back(std::make_unique<ProfileCommand>(output));
  commands.push_back(std::make_unique<DiagnoseCommand>(output, context));
  commands.push_back(std::make_unique<MonitorCommand>(output));
  commands.push_back(std::make_unique<TranscriptCommand>(output));
  // Memory tools.
  commands.push_back(std::make_unique<MfCommand>(output, environment));
  commands.push_back(std::make_unique<MfdCommand>(output, environment));
  commands.push_back(std::make_unique<SbCommand>(output, environment));
  commands.push_back(std::make_unique<KeysCommand>(output, environment));
  commands.push_back(std::make_unique<ValidateCommand>(output, environment));
  commands.push_back(std::make_unique<Pdf417Command>(output, environment));
#ifdef TERVANE_HAVE_LOGO
  commands.push_back(std::make_unique<LogoCommand>(output));
#endif
  std::vector<std::pair<CLI::App*, CliCommand*>> subcommands;
  for (auto& command : commands) {
    CLI::App* sub = command->attach(app);
    sub->fallthrough();  // --raw and --json may follow the command name
    subcommands.emplace_back(sub, command.get());
  }

  // CLI11 takes the arguments last one first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    // Arguments that do not parse still give a document when --json was asked for.
    if (std::find(args.begin(), args.end(), "--json") == args.end()) {
      app.exit(e, out, err);
      return kExitUsage;
    }
    std::ostringstream message;
    app.exit(e, message, message);
    err << message.str();
    std::string command;
    for (const auto& [sub, ignored] : subcommands) {
      if (std::find(args.begin(), args.end(), sub->get_name()) != args.end()) command = sub->get_name();
    }
    return WriteJsonRun(command, kExitUsage, "", message.str(), JsonReport{}, out);
  }

  for (const auto& [sub, command] : subcommands) {
    if (!sub->parsed()) continue;
    if (json) return RunWithJson(*sub, *command, output, out, err);
    return command->execute(out, err);
  }
  return kExitUsage;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliContext& context) {
  CliEnvironment environment;
  environment.clock = context.clock;
  // A progress line only where a person watches it.
  if (&err == &std::cerr && ::isatty(STDERR_FILENO)) environment.progress = &std::cerr;
  return RunCliWith(args, out, err, context, environment);
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment) {
  CliContext context;
  context.clock = environment.clock;
  return RunCliWith(args, out, err, context, environment);
}

}  // namespace tervane::cli
