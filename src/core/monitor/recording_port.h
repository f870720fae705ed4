// Recording the exchanges of the workbench's own commands (`send`, `sequence run`) as a
// transcript: a port factory that wraps the real one and notes every frame sent and
// every reply byte received, without changing either.
#pragma once

#include <memory>
#include <string>

#include "core/catalogue/catalogue.h"
#include "core/monitor/transcript.h"
#include "core/transport/port.h"

namespace tervane {

class RecordingPortFactory final : public PortFactory {
 public:
  // Every port `inner` creates is wrapped; each exchange through it (one frame and the
  // bytes received until the next frame or the port's Close) becomes one line in
  // `writer`, decoded against `catalogue`. `portName` is written as the line's port (the
  // name the port was created with when empty). All must outlive the factory's ports.
  RecordingPortFactory(PortFactory& inner, const CommandCatalogue& catalogue, Clock& clock, TranscriptWriter& writer,
                       std::string portName = {});

  std::unique_ptr<CPort> Create(const std::string& name) override;

 private:
  PortFactory& inner_;
  const CommandCatalogue& catalogue_;
  Clock& clock_;
  TranscriptWriter& writer_;
  std::string portName_;
};

}  // namespace tervane
