#include "cli/catalogue_command.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "core/app/model_table.h"
#include "core/catalogue/catalogue.h"
#include "core/protocol/catalogue_lint.h"
#include "cli/cli_support.h"

namespace tervane::cli {
namespace {

constexpr int kExitCatalogueFindings = 2;

}  // namespace

CLI::App* CatalogueCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand(
      "catalogue",
      "List the commands of comandos.xml: one line per command with its index, group, title and "
      "\"enabled\" or \"disabled\", separated by tabs.");
  sub->add_option("--workdir", workdir_, "Folder holding comandos.xml (default: the current directory)")
      ->type_name("DIR");
  sub->add_option("--model", model_,
                  "Printer model, as chosen in the settings (\"ZT-300 A\"); a name outside the model "
                  "table enables every model bit")
      ->type_name("NAME");
  sub->add_flag("--filter", filter_, "Disable the commands not meant for the model");
  sub->add_flag("--check", check_,
                "Instead of the listing, check the catalogue: escape texts with stray blanks or tokens that "
                "are not byte numbers, hexadecimal values in lower case or with other characters, default "
                "values that do not fit their kind or size, titles used twice, escapes that would be "
                "refused when sent. One line per finding: \"linha N: title: what is wrong\".");
  sub->footer(std::string(kRawOptionNote) +
              "\nExit status: 0 listed, or nothing found by --check; 1 bad arguments or catalogue not "
              "loadable; 2 --check found something.");
  return sub;
}

int CatalogueCommand::execute(std::ostream& out, std::ostream& err) {
  ProgramSettings settings;
  settings.g_workDir = ResolveWorkDir(workdir_);
  // Without a model the workbench enables every model bit, as when nothing was detected.
  settings.g_modelMask = kAllModelsMask;
  if (!model_.empty()) {
    ChooseModel(settings, model_);
    if (!FindModel(model_)) {
      WriteMessage(err, "Model \"" + model_ + "\" is not in the model table; every model bit is enabled.",
                   output_);
    }
  }
  settings.g_filterByModel = filter_;

  CommandCatalogue catalogue;
  if (!LoadCatalogueOrReport(settings, catalogue, err, output_)) return kExitUsage;

  if (check_) {
    std::vector<CatalogueFinding> findings;
    if (LintCatalogueFile(settings.g_workDir, findings) != 0) return kExitUsage;
    std::string text;
    for (const CatalogueFinding& finding : findings) text += FindingText(finding) + "\r\n";
    out << ForTerminal(text, output_);
    return findings.empty() ? kExitOk : kExitCatalogueFindings;
  }

  std::string listing;
  for (int i = 0; i < catalogue.count(); ++i) {
    const CommandRecord& command = catalogue.commands[static_cast<size_t>(i)];
    listing += std::to_string(i) + "\t" + command.group + "\t" + command.title + "\t" +
               (IsCommandEnabled(command, settings) ? "enabled" : "disabled") + "\r\n";
  }
  out << ForTerminal(listing, output_);
  return kExitOk;
}

}  // namespace tervane::cli
