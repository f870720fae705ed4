// The options of every tervane-cli command that talks to a printer (--port, --address,
// --exchange-dir, --workdir, --extended, --model) and the exchange context built from
// them: settings, the system's port factory, no progress display.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "app/settings.h"
#include "cli/cli_command.h"
#include "common/progress.h"
#include "protocol/command_exchange.h"
#include "transport/port_factory.h"

namespace CLI {
class App;
}

namespace tervane::cli {

struct ExchangeOptions {
  std::string port = "COM1:";   // "COM1:".."COM8:", "USB", "SOCKET", "FILE" or a device path
  std::string address;          // SOCKET: a.b.c.d or a.b.c.d:port
  std::string exchangeDir;      // FILE: folder of comando.dat and retorno.dat
  std::string workdir;          // base of relative files (default: the current directory)
  bool extended = false;
  std::string model;            // model identifier (UTF-8); empty: ask the printer
};

// Declares the options on `sub`.
void AddExchangeOptions(CLI::App& sub, ExchangeOptions& options);

// The settings and port factory of one command run. The context it hands out points into
// it, so it must outlive every exchange made with that context.
class CliExchange {
 public:
  explicit CliExchange(const ExchangeOptions& options);
  CliExchange(const CliExchange&) = delete;
  CliExchange& operator=(const CliExchange&) = delete;

  ProgramSettings& Settings() { return settings_; }
  const ExchangeContext& Context() const { return context_; }

  // With --model, sets g_modelName and g_modelMask from the model table (1FFFFh for an
  // unknown name) and returns true. Without it, asks the printer for its model as the
  // workbench does at start-up (a recognised model also turns extended-reply mode on);
  // when the printer does not answer, writes why to `err` and returns false. With
  // `mayAsk` false nothing is sent: the mask stays 1FFFFh (the newer command set).
  bool ResolveModel(bool mayAsk, std::ostream& err, const OutputOptions& output);

 private:
  ExchangeOptions options_;
  ProgramSettings settings_;
  std::unique_ptr<SystemPortFactory> ports_;
  NullProgressSink progress_;
  NullWaitNotice wait_;
  ExchangeContext context_;
};

}  // namespace tervane::cli
