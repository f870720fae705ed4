// The one interface through which the core asks a person a generic question: text,
// numbers, dates, yes/no, a choice, files, a message. The pages of one subsystem (the
// cliché and tax-rate pages, the memory tools' range dialogs) are interfaces of that
// subsystem, which an answerer implements beside this one when it can show them. The
// workbench answers with Qt dialogs, the CLI from the terminal, tests with scripted fakes.
// Texts are Windows-1252.
//
// Every request that can be cancelled returns false (or 0 for a choice) on Cancel and
// then leaves its in/out arguments unspecified; the core never reads them after a Cancel.
#pragma once

#include <string>
#include <vector>

#include "core/common/clock.h"

namespace tervane {

class Prompter {
 public:
  virtual ~Prompter() = default;

  // Text dialog: one edit box limited to maxLength characters, starting with `text`.
  virtual bool AskText(const std::string& description, int maxLength, std::string& text) = 0;
  // Multi-line text dialog limited to maxLength characters (lines end with CR LF).
  virtual bool AskMultiLineText(const std::string& description, int maxLength, std::string& text) = 0;
  // Number dialog: digits only, at most maxDigits, starting with `digits`.
  virtual bool AskNumber(const std::string& description, int maxDigits, std::string& digits) = 0;
  // Value dialog: a box of integerDigits + decimals + 1 characters (room for the decimal
  // comma), starting with `value`; returns what was typed.
  virtual bool AskValue(const std::string& description, int integerDigits, int decimals,
                        std::string& value) = 0;
  // Percentage dialog: two boxes of two digits each, starting with `integerPart` and
  // `decimalPart`; returns what was typed in each.
  virtual bool AskPercentage(const std::string& description, std::string& integerPart,
                             std::string& decimalPart) = 0;
  // Date picker (year, month, day used) and time picker (hour, minute, second used),
  // starting at `value`.
  virtual bool AskDate(const std::string& description, CivilTime& value) = 0;
  virtual bool AskTime(const std::string& description, CivilTime& value) = 0;
  // Offers the computer's clock for the time-setting command: `text` is the dialog's
  // message; on OK `daylightSaving` holds the "Horário de verão" box.
  virtual bool AcceptComputerClock(const std::string& text, bool& daylightSaving) = 0;
  // Choice dialog: up to 12 buttons with the given labels (empty labels are not shown).
  // Returns the 1-based index of the button pressed, 0 for Cancel.
  virtual int Choose(const std::string& description, const std::vector<std::string>& labels) = 0;
  // Yes/No question; anything but Yes counts as No.
  virtual bool AskYesNo(const std::string& caption, const std::string& question) = 0;
  // A message that needs no answer (failures outside the command path).
  virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
  // Save-file chooser; `path` starts with the default name and returns the chosen one.
  virtual bool ChooseSaveFile(const std::string& defaultExtension, const std::string& filter,
                              std::string& path) = 0;

  // A message with OK and Cancel; true for OK. Answerers without such a box ask it as a
  // Yes/No question (Yes for OK).
  virtual bool AskOkCancel(const std::string& caption, const std::string& text) {
    return AskYesNo(caption, text);
  }
  // Open-file chooser for an existing file; `path` starts with the default name and
  // returns the chosen one. `filter` is in the "Description(*.EXT)|*.EXT||" form.
  // Answerers that cannot choose files answer Cancel.
  virtual bool ChooseOpenFile(const std::string& defaultExtension, const std::string& filter,
                              std::string& path) {
    (void)defaultExtension;
    (void)filter;
    (void)path;
    return false;
  }

  // Open-file chooser with a window title; answerers that show no title ask it as
  // ChooseOpenFile.
  virtual bool ChooseOpenFileTitled(const std::string& title, const std::string& defaultExtension,
                                    const std::string& filter, std::string& path) {
    (void)title;
    return ChooseOpenFile(defaultExtension, filter, path);
  }
  // Open-file chooser for several existing files, in the order they were selected;
  // false on Cancel or when nothing was chosen.
  virtual bool ChooseOpenFiles(const std::string& title, const std::string& defaultExtension,
                               const std::string& filter, std::vector<std::string>& paths) {
    (void)title;
    (void)defaultExtension;
    (void)filter;
    (void)paths;
    return false;
  }
  // The results window of a command built in code: its result text and hexadecimal
  // trace. Answerers without that window show the result text as a message.
  virtual void ShowCommandResults(const std::string& resultText, const std::string& hexTrace) {
    (void)hexTrace;
    ShowMessage("Resultado", resultText);
  }

  // --- Scanner capture -------------------------------------------------------------
  // Yes/No/Cancel question: 1 for Yes, 2 for No, 0 for Cancel. Answerers without such a
  // box offer it as a choice of "Sim", "Não" and "Cancelar".
  virtual int AskYesNoCancel(const std::string& caption, const std::string& question) {
    (void)caption;
    const int chosen = Choose(question, {"Sim", "N\xE3o", "Cancelar"});
    return chosen == 1 || chosen == 2 ? chosen : 0;
  }
  // Retry/Cancel message: true for Retry. Answerers without such a box ask it as an
  // OK/Cancel message (OK for Retry).
  virtual bool AskRetryCancel(const std::string& caption, const std::string& text) {
    return AskOkCancel(caption, text);
  }
};

// An answerer with no one to ask: every question is answered Cancel (No, choice 0) and
// messages go nowhere. Answerers that answer a few questions themselves (a batch run, the
// command line's options, a test) derive from it and override just those.
class DecliningPrompter : public Prompter {
 public:
  bool AskText(const std::string&, int, std::string&) override { return false; }
  bool AskMultiLineText(const std::string&, int, std::string&) override { return false; }
  bool AskNumber(const std::string&, int, std::string&) override { return false; }
  bool AskValue(const std::string&, int, int, std::string&) override { return false; }
  bool AskPercentage(const std::string&, std::string&, std::string&) override { return false; }
  bool AskDate(const std::string&, CivilTime&) override { return false; }
  bool AskTime(const std::string&, CivilTime&) override { return false; }
  bool AcceptComputerClock(const std::string&, bool&) override { return false; }
  int Choose(const std::string&, const std::vector<std::string>&) override { return 0; }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  void ShowMessage(const std::string&, const std::string&) override {}
  bool ChooseSaveFile(const std::string&, const std::string&, std::string&) override { return false; }
};

}  // namespace tervane
