// The workbench's main window: start-up (printer detection, the catalogue under the wait
// notice), the menu bar built from the catalogue's groups, the toolbar, and the
// operations it opens.
#pragma once

#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/common/settings.h"
#include "core/catalogue/catalogue.h"
#include "gui/catalogue/command_dialog.h"
#include "core/protocol/command_exchange.h"
#include "gui/common/pumping_clock.h"

class QAction;
class QLabel;
class QMenu;
class QToolBar;

namespace tervane {
class PortFactory;
}

namespace tervane::gui {

class CWaitWnd;
class ProgressWindowSink;
class QtPrompter;

// Menu and toolbar identifiers; a command's item is kFirstCommandId + its index.
namespace ids {
constexpr int kSair = 2;
constexpr int kProgramarEquipamento = 108;
constexpr int kMfMfd = 109;
constexpr int kAjuda = 110;
constexpr int kClicheGrafico = 111;
constexpr int kSequencias = 112;
constexpr int kSobre = 113;
constexpr int kConfiguracoes = 119;
constexpr int kReferencia = 120;
constexpr int kMonitor = 121;
constexpr int kFirstCommandId = 1083;
constexpr int kToolSequencias = 32791;
constexpr int kToolClicheGrafico = 32794;
constexpr int kToolMfMfd = 32795;
constexpr int kToolProgramar = 32796;
constexpr int kToolConfiguracoes = 32797;
}  // namespace ids

class CMainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  // The status bar's catalogue warning (null when the check found nothing), for tests.
  QLabel* CatalogueWarning() const { return catalogueWarning_; }
  // The status bar's work folder line, its start-up warnings (null when there were none)
  // and its warning about running as root (null for any other user).
  QLabel* WorkFolderLabel() const { return statusWorkFolder_; }
  QLabel* StartupWarning() const { return startupWarning_; }
  QLabel* RootWarning() const { return rootWarning_; }
  // The connection text in the middle of the window, and the status bar's port line.
  QString ConnectionText() const;
  QString PortStatusText() const;

  struct Options {
    std::string workDir;      // empty: the current directory
    bool detectPrinter = true;
    bool loadCatalogue = true;
    std::vector<std::string> extraDevices;  // devices to list in the settings (a simulator's pty)
    bool unattended = false;  // no one to answer: start-up messages go to standard error
    std::string logDir;       // folder of the daily log; empty: <work folder>/log
    // What the choice of the work folder ran into (Windows-1252 lines): shown in the
    // status bar and written to the daily log at start-up.
    std::vector<std::string> startupWarnings;
  };

  // Fills workDir, logDir and startupWarnings the way the workbench starts: the given
  // workDir (--workdir) when set, else the current folder when it holds comandos.xml,
  // else the user's data folder, created and given the shipped catalogue.
  static void ChooseWorkFolder(Options& options);

  // A device to list in the settings besides those found (a simulator's terminal that
  // became known after the window was built).
  void AddExtraDevice(const std::string& device) { options_.extraDevices.push_back(device); }

  explicit CMainWindow(Options options);
  ~CMainWindow() override;

  // The start-up after the window is shown: the work folder, printer detection, then the
  // catalogue under the wait notice and the menus (or the message of a catalogue that
  // did not load, and no catalogue menus). Call once.
  void StartUp();
  bool StartedUp() const { return startedUp_; }
  // True while start-up runs: the menus and the toolbar are disabled and every operation
  // is refused, so nothing can start an exchange beside detection's on the held port.
  bool StartingUp() const { return startingUp_; }

  // Why "Programar Clichê Gráfico" cannot be used (the logo control is not registered,
  // or its library is gone), as the entry's tool tip says; empty when it can.
  QString GraphicClicheUnavailable() const { return clicheUnavailable_; }
  // Checks the logo control's registration again and enables or disables its entries.
  void RefreshGraphicCliche();

  // Puts the window back at the size and place it had when it was last closed; false
  // when nothing was saved (the window is then shown maximised).
  bool RestoreSavedGeometry();

  // Replaces the catalogue (as a successful load does) and rebuilds the menus.
  void SetCatalogue(CommandCatalogue catalogue);
  // Rebuilds the menu bar from the catalogue and the settings.
  void BuildMenus();

  ProgramSettings& Settings() { return settings_; }
  const CommandCatalogue& Catalogue() const { return catalogue_; }
  bool CatalogueLoaded() const { return catalogueLoaded_; }

  // The menu-bar item or toolbar button carrying identifier `id`, or null.
  QAction* ActionFor(int id) const;
  // The toolbar.
  QToolBar* ToolBar() const { return toolBar_; }

  // Seams for tests: how a command is run (the exchange by default) and what opens a
  // file with the desktop's default program.
  void SetCommandRunner(CommandRunner runner) { runner_ = std::move(runner); }
  // How commands are run now (empty while no exchange is available).
  const CommandRunner& Runner() const { return runner_; }
  // The notice window of slow steps.
  WaitNotice& Notice();
  void SetFileOpener(std::function<bool(const QString&)> opener) { opener_ = std::move(opener); }
  // Who answers the editors and the result window's questions; null restores the
  // window's own dialogs. The prompter must outlive its use.
  void SetPrompter(Prompter* prompter);
  Prompter& CurrentPrompter() { return *prompter_; }
  // What an exchange started from the windows uses: the settings, the ports, the
  // exchange's progress window, the wait notice and a clock that keeps the windows alive.
  ExchangeContext CommandExchange();

 public slots:
  void OpenCommand(int index);
  void OpenSettings();
  void OpenAbout();
  void OpenHelp();
  void OpenCommandReference();
  // "Sequências de Comandos": the sequence window, modal.
  void OpenSequences();
  // The "MF/MFD" window of the memory tools, over the current port and model.
  void OpenMemoryTools();
  // "Programar Clichê Gráfico": the logo control's dialog, modal.
  void OpenGraphicCliche();
  // "Monitor": the protocol monitor between a point-of-sale program and the printer.
  void OpenMonitor();

 protected:
  // A close during start-up waits until start-up ends; every close keeps the size.
  void closeEvent(QCloseEvent* event) override;
  // The logo control's entries are checked again whenever the window is activated.
  void changeEvent(QEvent* event) override;
  // The group menus that do not fit move into "Mais".
  void resizeEvent(QResizeEvent* event) override;

 private:
  void SetOperationsEnabled(bool enabled);
  void FitMenuBar();
  // Puts the first `onBar` group menus on the bar and the others in "Mais".
  void ArrangeMenuBar(int onBar);
  void DispatchId(int id);
  void CreateToolBar();
  // The status bar's port and model, and the centre's connection text, from the settings.
  void UpdateStatus();
  QString CentreText() const;
  // The work folder, the start-up warnings and the root warning in the status bar.
  void ShowStartupNotices();
  QAction* AddOperation(QMenu* menu, int id, int stringId, bool available);
  int RunCommand(CommandRecord& command);
  std::vector<std::string> SerialDevices() const;

  Options options_;
  ProgramSettings settings_;
  CommandCatalogue catalogue_;
  bool catalogueLoaded_ = false;
  bool startedUp_ = false;
  bool startingUp_ = false;
  bool closeAfterStartUp_ = false;
  QString clicheUnavailable_;
  // What detection said and the port it found: the centre shows it while that port is
  // the one in use.
  QString detectionText_;
  std::string detectedPort_;
  // Why the port in use did not open at the last command; empty after a success.
  QString portFailure_;
  std::unique_ptr<QtPrompter> ownPrompter_;
  Prompter* prompter_;
  CWaitWnd* wait_;
  std::unique_ptr<ProgressWindowSink> progress_;
  std::unique_ptr<PortFactory> ports_;
  PumpingClock pumpingClock_;
  CommandRunner runner_;
  std::function<bool(const QString&)> opener_;
  QToolBar* toolBar_ = nullptr;
  QLabel* statusPort_ = nullptr;
  QLabel* statusModel_ = nullptr;
  QLabel* centre_ = nullptr;
  // The status bar's line about what the catalogue check found at load; null when nothing.
  QLabel* catalogueWarning_ = nullptr;
  QLabel* statusWorkFolder_ = nullptr;
  QLabel* startupWarning_ = nullptr;
  QLabel* rootWarning_ = nullptr;
  std::map<int, QAction*> toolActions_;
  // The menus of the current bar: the group menus in order, "Mais" for those that do not
  // fit, and "Ajuda".
  std::vector<QMenu*> builtMenus_;
  std::vector<QMenu*> groupMenus_;
  QMenu* moreMenu_ = nullptr;
  int groupsOnBar_ = 0;  // how many of groupMenus_ are on the bar; the rest are in "Mais"
  QMenu* helpMenu_ = nullptr;
};

}  // namespace tervane::gui
