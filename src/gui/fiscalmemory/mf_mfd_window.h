// The "MF/MFD" window: the memory tools under the menus "Arquivo" (documents, database,
// reports, Type E records, PDF-417 bitmaps, validation, the MF integrity check) and
// "Comunicação" (the "Download" submenu, the public-key print). Each entry runs one core
// operation with the workbench's dialogs.
#pragma once

#include <QDialog>
#include <functional>
#include <map>

#include "core/common/progress.h"
#include "core/common/prompter.h"
#include "core/fiscalmemory/memory_operations.h"
#include "core/protocol/command_exchange.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;

namespace tervane::gui {

class CMfMfdWnd final : public QDialog {
  Q_OBJECT

 public:
  // `exchange` carries the settings (port, model) and what the MF download's printer
  // command needs; `opener` is the platform's "open" action for produced files; a null
  // `loader` is the system's dynamic loader.
  CMfMfdWnd(QWidget* parent, const ExchangeContext& exchange, Prompter& prompter, WaitNotice& wait,
            std::function<bool(const QString&)> opener, VendorLoader* loader = nullptr);

  // The menu entry with this text (as shown, mnemonics included), or null.
  QAction* Entry(const QString& text) const;
  QMenuBar* MenuBar() const { return menuBar_; }
  // The outcome of the last operation run from a menu.
  const MemoryOutcome& LastOutcome() const { return last_; }

 private:
  QAction* Add(QMenu* menu, const QString& text, std::function<MemoryOutcome(const MemoryToolContext&)> operation);
  MemoryToolContext Context() const;

  ExchangeContext exchange_;
  Prompter& prompter_;
  WaitNotice& wait_;
  std::function<bool(const QString&)> opener_;
  VendorLoader* loader_;
  QMenuBar* menuBar_;
  QLabel* summary_;
  std::map<QString, QAction*> entries_;
  MemoryOutcome last_;
};

}  // namespace tervane::gui
