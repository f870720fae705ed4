// The port factory used by the program: CreatePort with a fixed context.
#pragma once

#include <memory>
#include <string>

#include "core/transport/port.h"

namespace tervane {

// The folder of the exchange files: g_exchangeDir (resolved against g_workDir when
// relative), else g_workDir; empty (the current folder) when both are empty.
std::string ExchangeFolder(const ProgramSettings& settings);

class SystemPortFactory final : public PortFactory {
 public:
  // The context's settings and clock must outlive the factory; null members fall back
  // to empty settings and the system clock.
  explicit SystemPortFactory(PortContext context) : context_(context) {}
  std::unique_ptr<CPort> Create(const std::string& name) override { return CreatePort(name, context_); }

 private:
  PortContext context_;
};

}  // namespace tervane
