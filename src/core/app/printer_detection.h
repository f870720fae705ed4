// Finding the printer at start-up: probe the USB link, then the serial ports "COM1:" to
// "COM8:", with a short status query; the first that answers becomes g_portName. Then
// ask the printer for its model and apply it to the settings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/common/settings.h"
#include "core/catalogue/command_record.h"
#include "core/common/clock.h"
#include "core/common/progress.h"
#include "core/transport/port.h"

namespace tervane {

// What detection needs. `settings` and `ports` are required. `statusWindow` is the small
// window that shows "Conectando..." and then the outcome; `waitNotice` the notice shown
// during the model query; `progress` is the progress display of the model query. Null
// ones show nothing; a null clock is the system clock.
struct DetectionContext {
  ProgramSettings* settings = nullptr;
  PortFactory* ports = nullptr;
  Clock* clock = nullptr;
  ProgressSink* progress = nullptr;
  WaitNotice* statusWindow = nullptr;
  WaitNotice* waitNotice = nullptr;
  // Serial ports probed after "COM1:".."COM8:": the USB-serial adapters present that no
  // COM name maps to (UnmappedAdapterNames), so that plugging one in is enough.
  std::vector<std::string> extraCandidates;
};

// The outcome, for the workbench and the command line to show.
struct DetectionResult {
  bool printerFound = false;
  std::string portName;            // g_portName afterwards ("COM1:" when nothing answered)
  bool normalMode = false;         // the printer reported normal mode (not technical intervention)
  std::string statusText;          // what the status window showed (Windows-1252)
  bool modelQueried = false;       // the model query was run
  int modelQueryResult = kExchangeFailed;  // its ExecuteCommand result when run
  std::string modelQueryText;      // its ResultText when run
  std::string modelName;           // g_modelName afterwards
  std::uint32_t modelMask = kAllModelsMask;  // g_modelMask afterwards
  bool extendedReply = false;      // g_extendedReply afterwards
  // Ports that exist but would not open (no permission, held by another program, ...),
  // each with its reason (Windows-1252); missing devices are not listed.
  std::vector<std::string> openFailures;
};

inline constexpr int kProbeReplyBytes = 4;
inline constexpr int kProbeByteTimeoutMs = 2000;
inline constexpr int kProbeTimeoutLimit = 3;     // consecutive time-outs end a probe
inline constexpr int kProbeSendParam = 2000;
inline constexpr int kDetectionShowMs = 1000;    // the outcome stays on screen this long

// The port names tried, in order: "USB", then "COM1:" to "COM8:", then `extra`.
std::vector<std::string> DetectionCandidates(const std::vector<std::string>& extra = {});

// The probe frame: the status query 1Bh 23h 14h, framed (02 05 00 1B 23 14 52 00).
FrameBuffer DetectionProbeFrame();

// The built-in model query "Marca, Modelo e Tipo" (escape "35 60", 42 reply bytes:
// "Marca" 15, "Modelo" 20 and "Tipo" 7, all "ASCII").
CommandRecord ModelQueryCommand();

// Probes the candidates, sets g_portName, waits while the outcome is shown, then runs the
// model query and sets g_modelName, g_modelMask and, for a recognised model,
// g_extendedReply. Nothing answering leaves g_portName "COM1:", an empty model and mask
// 1FFFFh; so does a failed model query (with the port found kept). Every port it creates
// is closed and destroyed before it returns. Without settings or ports it does nothing
// and returns a result with printerFound false.
DetectionResult DetectPrinter(const DetectionContext& context);

}  // namespace tervane
