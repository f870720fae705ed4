// Which folder the workbench works in (comandos.xml, sequences, profiles, help) and where
// its daily log goes. A workbench started from a terminal in a folder holding a catalogue
// keeps working there; one started from the desktop menu, whose current folder is the
// home folder or "/", works in the user's data folder, seeded on first start with the
// catalogue shipped with the program.
#pragma once

#include <string>
#include <vector>

namespace tervane {

// Everything the choice depends on, so that it can be made on any folder.
struct WorkFolderInputs {
  std::string workdirOption;   // --workdir, absolute; "" when not given
  std::string currentDir;      // the current folder
  std::string xdgDataHome;     // $XDG_DATA_HOME ("" or a relative path: not set)
  std::string xdgStateHome;    // $XDG_STATE_HOME (likewise)
  std::string home;            // $HOME, or the account's home folder
  std::string shippedDataDir;  // the folder of the shipped comandos.xml (ShippedDataDir())
};

struct WorkFolderChoice {
  enum class Source {
    kOption,         // --workdir
    kCurrentFolder,  // the current folder holds comandos.xml
    kUserData,       // <data home>/tervane
    kFallback,       // the user's data folder is unusable: see the warnings
  };
  Source source = Source::kCurrentFolder;
  std::string workDir;
  // The folder of the daily log; "" keeps it in <workDir>/log.
  std::string logDir;
  // What went wrong, one Windows-1252 line each, naming the path concerned.
  std::vector<std::string> warnings;
  // True when this start copied the shipped catalogue into the work folder.
  bool seeded = false;
};

// The catalogue's file name in a work folder and in the shipped data.
inline constexpr const char* kCatalogueFileName = "comandos.xml";

// --workdir wins; else the current folder when it holds comandos.xml; else
// <data home>/tervane (data home: XDG_DATA_HOME when absolute, else ~/.local/share),
// created with its missing parents (mode 0700) and given a copy of the shipped
// catalogue when it holds none, with the daily log in <state home>/tervane/log (state
// home: XDG_STATE_HOME when absolute, else ~/.local/state). A catalogue already there is
// never replaced. When the data folder cannot be created or written, the choice falls back
// to the shipped data folder (read only: the catalogue is there) or, without one, to the
// current folder, and says so in the warnings. Never fails.
WorkFolderChoice ChooseWorkFolder(const WorkFolderInputs& inputs);

// The inputs from this process's environment: XDG_DATA_HOME, XDG_STATE_HOME, HOME (or
// the password entry's home folder when HOME is unset) and ShippedDataDir().
WorkFolderInputs WorkFolderInputsFromEnvironment(const std::string& workdirOption, const std::string& currentDir);

// Creates `path` and its missing parents with mode 0700. Returns true when it is a
// folder afterwards; otherwise false with `error` set to "<path>: <system message>" for
// the component that failed.
bool MakeFolders(const std::string& path, std::string* error);

}  // namespace tervane
