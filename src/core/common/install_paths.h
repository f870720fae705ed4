// Where the files shipped with Tervane are: found relative to the running program, so the
// same binaries work from their build tree (build/bin, build/share) and once installed
// (/usr/bin, /usr/share), with no build or source path compiled in.
#pragma once

#include <string>

namespace tervane {

// Overrides the shipped data folder when set to an absolute path.
inline constexpr const char* kShareDirVariable = "TERVANE_SHARE_DIR";

// The folder of the running program (/proc/self/exe without its file name), or "" when
// the link cannot be read.
std::string ProgramDir();

// The shipped data: the catalogue comandos.xml, usb/ids.txt, the sample logo.
// $TERVANE_SHARE_DIR when set and absolute, else <ProgramDir>/../share/tervane (a lexical
// path: "bin/.." is removed, symbolic links are kept). "" when ProgramDir() is "".
std::string ShippedDataDir();

// The shipped documentation (the HTML guide): <ProgramDir>/../share/doc/tervane, or ""
// when ProgramDir() is "".
std::string ShippedDocDir();

// The user's settings folder for Tervane: $XDG_CONFIG_HOME/tervane when that is an
// absolute path, else $HOME/.config/tervane; "" when neither is set. Not created here.
std::string UserConfigDir();

// `path` with "." and "dir/.." parts removed, lexically. Exposed for tests.
std::string LexicallyNormal(const std::string& path);

// `name` inside `folder`, with one slash between them; `name` itself when `folder` is "".
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace tervane
