#include "cli/key_print_command.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <ostream>

#include "cli/cli_support.h"
#include "cli/memory_answers.h"
#include "core/fiscalmemory/key_print.h"
#include "core/fiscalmemory/mf_integrity.h"

namespace tervane::cli {
namespace {

// A library result that none of the status messages explains gets a note of its own.
int UnexplainedFailure(const MemoryOutcome& outcome, std::ostream& err, const OutputOptions& output) {
  WriteMessage(err, "The memory library returned " + std::to_string(outcome.code) + ".", output);
  return kExitMemoryFailed;
}

}  // namespace

CLI::App* KeyPrintCommand::attach(CLI::App& keys) {
  sub_ = keys.add_subcommand(
      "print", "Print the printer's public key on a management report: the key is downloaded through the second "
               "memory library into CP.pub in the work folder (deleted afterwards), then printed as text, as a "
               "PDF-417 barcode and with the block the user signs, and the report is closed.");
  AddPrinterOptions(*sub_, options_, true);
  sub_->fallthrough();
  sub_->footer(std::string("Models of the first memory library (below ZT-310 A, and ZP-980 R) print no key.\n"
                           "A failing print command shows \"ERRO DE COMUNICAÇÃO\" and the next one still runs.\n"
                           "Without --model the printer is asked for its model first.\n") +
               kMemoryExitNote);
  return sub_;
}

bool KeyPrintCommand::parsed() const { return sub_ != nullptr && sub_->parsed(); }

int KeyPrintCommand::execute(std::ostream& out, std::ostream& err) {
  MemoryRun run(options_, environment_, output_, true);
  int status = kExitOk;
  if (!run.Prepare(err, status)) return status;
  CommandLineAnswers answers(err, output_);
  const KeyPrintResult result = PrintPublicKeyReport(run.Context(answers));
  const MemoryOutcome& outcome = result.outcome;
  if (outcome.stage == MemoryStage::kNotAvailable) {
    WriteMessage(err, "This model has no public key to print (a model of the first memory library).", output_);
    return kExitMemoryFailed;
  }
  if (outcome.stage != MemoryStage::kCompleted) return run.Finish(outcome, false, out, err);
  if (outcome.code == 1) {
    if (result.problem != KeyFileProblem::kNone) return kExitMemoryFailed;  // the reason was shown
    if (result.commandsFailed > 0) return kExitExchangeFailed;
    WriteMessage(out, "Public key printed.", output_);
    return kExitOk;
  }
  if (outcome.code == 0) return UnexplainedFailure(outcome, err, output_);
  return run.Finish(outcome, false, out, err);
}

std::string DefaultIntegrityReport(const std::string& mfFile) {
  std::filesystem::path path(mfFile);
  path.replace_extension();
  return path.string() + "_integridade.txt";
}

CLI::App* MfIntegrityCommand::attach(CLI::App& mf) {
  sub_ = mf.add_subcommand(
      "integrity", "Check the fiscal memory's integrity: through the printer (--port; its cell counts), or on an "
                   ".mf file (--file) through the second memory library, which writes a report.");
  AddPrinterOptions(*sub_, options_, true);
  CLI::Option* port = sub_->get_option("--port");
  port->required(false);
  CLI::Option* file = sub_->add_option("--file", mfFile_, "The .mf file to check")->type_name("F")->excludes(port);
  sub_->add_option("-o,--output", reportFile_, "The report of the file check (default: F without its extension, "
                                               "then _integridade.txt)")
      ->type_name("REPORT")
      ->needs(file);
  sub_->add_flag("--hex", hex_, "With --port: also write the bytes sent and received")->excludes(file);
  sub_->fallthrough();
  sub_->footer(std::string("Through the port, models from ZK-115 A on are asked for their model first and a ZT-800 A "
                           "is sent to the file check; older models answer command 126, the others 95.\n"
                           "The file check exists for models of the second memory library only (--model; "
                           "without it, that of an unidentified printer).\n") +
               kMemoryExitNote + " Here 8 also means cells that are not OK.");
  return sub_;
}

bool MfIntegrityCommand::parsed() const { return sub_ != nullptr && sub_->parsed(); }

int MfIntegrityCommand::execute(std::ostream& out, std::ostream& err) {
  if (options_.port.empty() == mfFile_.empty()) {
    WriteMessage(err, "mf integrity takes either --port NAME or --file F.", output_);
    return kExitUsage;
  }
  return mfFile_.empty() ? throughPort(out, err) : ofFile(out, err);
}

int MfIntegrityCommand::throughPort(std::ostream& out, std::ostream& err) {
  MemoryRun run(options_, environment_, output_, true);
  int status = kExitOk;
  if (!run.Prepare(err, status)) return status;
  CommandLineAnswers answers(err, output_);
  const MemoryOutcome outcome = CheckMfIntegrity(run.Context(answers), IntegritySource::kPort);
  for (const auto& [text, trace] : answers.results) {
    WriteText(out, text, output_);
    if (hex_) WriteText(out, "\r\n" + trace + "\r\n", output_);
  }
  if (outcome.stage == MemoryStage::kNotAvailable) return kExitMemoryFailed;
  if (outcome.stage != MemoryStage::kCompleted) return run.Finish(outcome, false, out, err);
  if (outcome.code != kOk) return ExitStatusFor(outcome.code);
  return outcome.succeeded ? kExitOk : kExitMemoryFailed;
}

int MfIntegrityCommand::ofFile(std::ostream& out, std::ostream& err) {
  MemoryRun run(options_, environment_, output_, false);
  int status = kExitOk;
  if (!run.Prepare(err, status)) return status;
  CommandLineAnswers answers(err, output_);
  answers.openFiles = {mfFile_};
  answers.saveFile = reportFile_.empty() ? DefaultIntegrityReport(mfFile_) : reportFile_;
  const MemoryOutcome outcome = CheckMfIntegrity(run.Context(answers), IntegritySource::kFile);
  switch (outcome.stage) {
    case MemoryStage::kNotAvailable: return kExitMemoryFailed;
    case MemoryStage::kDialogCancelled: return kExitUsage;  // the report would replace the .mf (said why)
    default: break;
  }
  // A check that failed may still have written its findings: name the report and say
  // what it found (a missing key among them) where the failure is told.
  if (outcome.stage == MemoryStage::kCompleted && !outcome.succeeded && std::filesystem::exists(outcome.output)) {
    WriteMessage(out, outcome.output, output_);
    std::ifstream report(outcome.output, std::ios::binary);
    for (std::string line; std::getline(report, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("FALHA: ", 0) == 0) WriteText(err, line + "\r\n", output_);
    }
  }
  if (outcome.stage == MemoryStage::kCompleted && !outcome.succeeded && VendorStatusMessageId(outcome.code) == 0) {
    return UnexplainedFailure(outcome, err, output_);
  }
  return run.Finish(outcome, true, out, err);
}

}  // namespace tervane::cli
