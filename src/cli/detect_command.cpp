#include "cli/detect_command.h"

#include <CLI/CLI.hpp>

#include <ostream>
#include <string>

#include "core/app/model_table.h"
#include "core/app/printer_detection.h"
#include "cli/cli_support.h"
#include "cli/json_output.h"
#include "cli/terminal_progress.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/transport/port_factory.h"
#include "core/transport/serial_adapters.h"

namespace tervane::cli {
namespace {

// The detection's outcome for --json: port and mode line, the model query, the model
// and extended-reply mode it left, the ports that would not open.
void ReportDetection(JsonReport& report, const DetectionResult& result, bool extendedBefore) {
  Json& body = report.body;
  body["printer_found"] = result.printerFound;
  body["port"] = result.printerFound ? Json(JsonText(result.portName)) : Json(nullptr);
  body["normal_mode"] = result.normalMode;
  body["status_text"] = JsonText(result.statusText);
  Json query = nullptr;
  if (result.modelQueried) {
    query = Json::object();
    query["result"] = ResultJson(result.modelQueryResult);
    std::string text = JsonText(result.modelQueryText);
    while (!text.empty() && text.front() == '\n') text.erase(0, 1);
    query["result_text"] = text;
  }
  body["model_query"] = query;
  const bool modelKnown = result.printerFound && result.modelQueryResult == kOk;
  body["model"] = modelKnown ? Json(JsonText(Unpadded(result.modelName))) : Json(nullptr);
  body["model_mask"] = result.modelMask;
  body["extended_reply"] = result.extendedReply;
  body["extended_reply_switched_on"] = result.extendedReply && !extendedBefore;
  body["model_chosen"] = nullptr;
  Json failures = Json::array();
  for (const std::string& failure : result.openFailures) failures.push_back(JsonText(failure));
  body["open_failures"] = failures;
}

}  // namespace

CLI::App* DetectCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand(
      "detect",
      "Find the printer as the workbench does when it starts: probe the USB link, then COM1: to "
      "COM8: (see `ports` for the devices they open), then the USB-serial adapters present that no "
      "COM name maps to, then ask the printer for its model. Prints the port, the mode line and the "
      "model; a recognised model switches extended-reply mode on. Ports that are there but would not "
      "open (no permission, in use) are named on standard error with the reason.");
  AddPrinterOptions(*sub, printer_, false);
  sub->footer(std::string(kRawOptionNote) +
              "\n--extended starts with extended-reply mode on, as the settings' check box does; "
              "--model is applied after detection, as if chosen in the settings afterwards.\n"
              "The model query is appended to the daily log in <workdir>/log.\n"
              "Exit status: 0 printer and model found; 1 bad arguments; 4 no printer answered or "
              "the model query failed; 5 cancelled with Ctrl-C.\n" +
              kJsonOptionNote);
  return sub;
}

int DetectCommand::execute(std::ostream& out, std::ostream& err) {
  ProgramSettings settings;
  if (!ApplyPrinterOptions(printer_, settings, err, output_)) return kExitUsage;
  // --model is the settings dialog after detection: detection first sets its own.
  const std::string chosenModel = settings.g_modelName;
  settings.g_modelName.clear();
  settings.g_modelMask = 255;
  const bool extendedBefore = settings.g_extendedReply;

  Clock& clock = context_.clock ? *context_.clock : SystemClock();
  SystemPortFactory ports(PortContext{&settings, &clock});
  TerminalProgress terminal(err, ShowProgressOnStderr(printer_.progress));
  InterruptGuard interrupt;
  DetectionContext detection{&settings, &ports, &clock, context_.progress ? context_.progress : &terminal,
                             nullptr, nullptr, UnmappedAdapterNames(DefaultScanRoots())};
  const DetectionResult result = DetectPrinter(detection);
  terminal.Close();
  for (const std::string& failure : result.openFailures) WriteText(err, failure, output_);
  if (output_.report) ReportDetection(*output_.report, result, extendedBefore);

  if (!result.printerFound) {
    WriteText(out, result.statusText, output_);
    return kExitExchangeFailed;
  }
  WriteText(out, "Port: " + result.portName, output_);
  WriteText(out, result.statusText, output_);
  if (result.modelQueryResult != kOk) {
    std::string text = result.modelQueryText;
    while (!text.empty() && (text.front() == '\r' || text.front() == '\n')) text.erase(0, 1);
    WriteText(out, text, output_);
    WriteMessage(err, "The model query failed; every model bit is enabled.", output_);
    return ExitStatusFor(result.modelQueryResult);
  }
  WriteText(out, "Model: " + Unpadded(result.modelName), output_);
  WriteText(out, Format("Model mask: %u", static_cast<unsigned>(result.modelMask)), output_);
  if (result.extendedReply && !extendedBefore) {
    WriteMessage(out, "Extended-reply mode: on (switched on for this model)", output_);
  } else {
    WriteMessage(out, std::string("Extended-reply mode: ") + (result.extendedReply ? "on" : "off"), output_);
  }
  if (!chosenModel.empty()) {
    ChooseModel(settings, chosenModel);
    if (output_.report) {
      Json chosen = Json::object();
      chosen["name"] = JsonText(Unpadded(settings.g_modelName));
      chosen["mask"] = settings.g_modelMask;
      output_.report->body["model_chosen"] = chosen;
    }
    WriteText(out,
              Format("Model chosen: %s (mask %u)", Unpadded(settings.g_modelName).c_str(),
                     static_cast<unsigned>(settings.g_modelMask)),
              output_);
  }
  return kExitOk;
}

}  // namespace tervane::cli
