// Shared pieces of the equipment tests: a temporary folder, the simulated printer behind
// an in-process port (silent from a chosen command on), and settings for a model.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "core/app/model_table.h"
#include "core/common/settings.h"
#include "core/common/charset.h"
#include "core/protocol/command_exchange.h"
#include "sim/command_handler.h"
#include "sim/printer_state.h"
#include "support/fake_clock.h"
#include "core/transport/port.h"

namespace tervane::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tervane-equip-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A port that hands each frame to the simulated printer and gives back its reply; a
// silent port lets every read time out (advancing the fake clock, as a real wait would).
class SimPort final : public CPort {
 public:
  SimPort(sim::CommandHandler& handler, FakeClock& clock, bool silent)
      : handler_(handler), clock_(clock), silent_(silent) {}
  bool Open(int) override { return true; }
  void Close() override {}
  bool Send(const std::uint8_t* data, int length, int) override {
    if (!silent_) reply_ = handler_.Handle(sim::Bytes(data, data + length));
    return true;
  }
  bool Receive(std::uint8_t* buffer, int length, int timeoutMs) override {
    if (reply_.size() < static_cast<size_t>(length)) {
      clock_.Advance(timeoutMs);
      return false;
    }
    std::copy_n(reply_.begin(), length, buffer);
    reply_.erase(reply_.begin(), reply_.begin() + length);
    return true;
  }
  bool Purge() override { return true; }
  bool WriteRequest(const std::uint8_t*, int, std::uint32_t*) override { return false; }
  bool ReadReply(std::uint8_t*, int, std::uint32_t*) override { return false; }

 private:
  sim::CommandHandler& handler_;
  FakeClock& clock_;
  bool silent_;
  sim::Bytes reply_;
};

// The simulated printer, reached through SimPorts. With `answerLimit` >= 0 it stops
// answering after that many commands.
class SimPrinter final : public PortFactory {
 public:
  explicit SimPrinter(const std::string& model = "ZT-300 A") : handler(state, clock) {
    state.model = model;
    state.modelMask = ModelMaskFor(model);
    state.intervention = true;
  }
  std::unique_ptr<CPort> Create(const std::string&) override {
    ++created;
    const bool silent = answerLimit >= 0 && created > answerLimit;
    return std::make_unique<SimPort>(handler, clock, silent);
  }

  FakeClock clock;
  sim::PrinterState state;
  sim::CommandHandler handler;
  int answerLimit = -1;
  int created = 0;
};

// Settings for a model chosen by name, in a working folder (the daily log goes there).
inline ProgramSettings SettingsFor(const std::string& model, const std::string& workDir) {
  ProgramSettings s;
  s.g_workDir = workDir;
  s.g_portName = "SIM";
  ChooseModel(s, model);
  return s;
}

}  // namespace tervane::testing
