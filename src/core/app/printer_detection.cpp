#include "core/app/printer_detection.h"

#include "core/app/model_table.h"
#include "core/common/frame_bytes.h"
#include "core/common/string_table.h"
#include "core/common/text.h"
#include "core/protocol/command_exchange.h"
#include "core/protocol/frame_builder.h"
#include "core/transport/open_failure.h"

namespace tervane {
namespace {

constexpr std::uint8_t kNormalMode = 0x55;

struct ProbeReply {
  std::uint8_t bytes[kProbeReplyBytes] = {};
  int count = 0;
};

// Sends the probe and reads up to four reply bytes, giving up after three time-outs in a
// row, or at once when the port finds its link gone. Returns false when the port does
// not open.
bool Probe(CPort& port, bool serial, const FrameBuffer& probe, ProbeReply& reply) {
  if (!port.Open(9600)) return false;
  if (serial) port.Purge();
  port.Send(probe.bytes.data(), static_cast<int>(probe.length), kProbeSendParam);
  int timeouts = 0;
  while (reply.count < kProbeReplyBytes && timeouts < kProbeTimeoutLimit) {
    if (port.Receive(&reply.bytes[reply.count], 1, kProbeByteTimeoutMs)) {
      ++reply.count;
      timeouts = 0;
    } else if (port.LinkLost()) {
      break;  // nothing more can come: the next candidate is probed at once
    } else {
      ++timeouts;
    }
  }
  return true;
}

std::string WithPortName(int stringId, const std::string& portName) {
  std::string text = LoadString(stringId);
  ReplaceAll(text, "%s", portName);
  return text;
}

}  // namespace

std::vector<std::string> DetectionCandidates(const std::vector<std::string>& extra) {
  std::vector<std::string> names{"USB"};
  for (int i = 1; i <= 8; ++i) names.push_back(Format("COM%d:", i));
  names.insert(names.end(), extra.begin(), extra.end());
  return names;
}

FrameBuffer DetectionProbeFrame() {
  FrameBuffer frame;
  frame.length = 3;
  const std::uint8_t body[] = {0x1B, 0x23, 0x14};
  AppendBytes(frame, body, sizeof body);
  FinalizeFrame(frame);
  return frame;
}

CommandRecord ModelQueryCommand() {
  CommandRecord command;
  command.title = "Marca, Modelo e Tipo";
  command.hasEscape = true;
  command.escapeText = "35 60";
  command.escapeBytes[0] = 0x23;
  command.escapeBytes[1] = 0x3C;
  command.escapeCount = 2;
  command.declaredReturnSize = 42;
  command.ExpectedReplyLength = command.declaredReturnSize;
  command.returnFields = {
      ReturnFieldRecord{15, "Marca", "ASCII", {}, {}},
      ReturnFieldRecord{20, "Modelo", "ASCII", {}, {}},
      ReturnFieldRecord{7, "Tipo", "ASCII", {}, {}},
  };
  return command;
}

DetectionResult DetectPrinter(const DetectionContext& context) {
  DetectionResult result;
  if (!context.settings || !context.ports) return result;
  ProgramSettings& settings = *context.settings;
  Clock& clock = context.clock ? *context.clock : SystemClock();
  NullWaitNotice noNotice;
  WaitNotice& status = context.statusWindow ? *context.statusWindow : noNotice;
  WaitNotice& wait = context.waitNotice ? *context.waitNotice : noNotice;

  settings.g_portName.clear();
  status.Show(LoadString(str::kConectando));
  const FrameBuffer probe = DetectionProbeFrame();

  for (const std::string& name : DetectionCandidates(context.extraCandidates)) {
    std::unique_ptr<CPort> port = context.ports->Create(name);
    if (!port) continue;
    const bool serial = name != "USB";
    ProbeReply reply;
    if (!Probe(*port, serial, probe, reply)) {
      // Did not open: destroyed here. A port that is there but refused is worth telling.
      const PortOpenFailure& failure = port->OpenFailure();
      if (failure.kind != OpenFailureKind::kNone && failure.kind != OpenFailureKind::kMissing) {
        result.openFailures.push_back(OpenFailureText(name, failure));
      }
      continue;
    }
    port->Close();
    port.reset();

    const bool answered = reply.count == kProbeReplyBytes && (!serial || reply.bytes[0] == kAck);
    if (!answered) continue;
    result.printerFound = true;
    result.normalMode = reply.bytes[1] == kNormalMode;
    settings.g_portName = name;
    result.statusText = WithPortName(result.normalMode ? str::kConectadaNormal : str::kConectadaIntervencao, name);
    break;
  }
  if (!result.printerFound) {
    settings.g_portName = "COM1:";
    result.statusText = LoadString(str::kSemConexao);
  }
  status.Show(result.statusText);
  clock.SleepMs(kDetectionShowMs);
  status.Hide();

  if (result.printerFound) {
    CommandRecord query = ModelQueryCommand();
    const ExchangeContext exchange{&settings, context.ports, &clock, context.progress, &wait};
    wait.Show(LoadString(str::kDetectandoModelo));
    result.modelQueried = true;
    result.modelQueryResult = ExecuteCommand(query, exchange);
    wait.Hide();
    result.modelQueryText = query.ResultText;
    if (result.modelQueryResult == kOk) {
      ApplyDetectedModel(settings, query.returnFields[1].value);
    } else {
      settings.g_modelName.clear();
      settings.g_modelMask = kAllModelsMask;
    }
  } else {
    settings.g_modelName.clear();
    settings.g_modelMask = kAllModelsMask;
  }

  result.portName = settings.g_portName;
  result.modelName = settings.g_modelName;
  result.modelMask = settings.g_modelMask;
  result.extendedReply = settings.g_extendedReply;
  return result;
}

}  // namespace tervane
