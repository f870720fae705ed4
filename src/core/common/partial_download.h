// Where the memory libraries keep the blocks of a download that did not finish, so that a
// later download of the same file from the same printer can continue from the last good
// block instead of starting again: one file per kind of download in the state folder,
// $XDG_STATE_HOME/tervane/downloads (else ~/.local/state/tervane/downloads).
//
// The workbench asks "Deseja continuar o download anterior?" when such a file is kept for
// the download about to start, and tells the library the answer through the environment
// variable TERVANE_DOWNLOAD_RESUME ("1" to continue; anything else starts afresh and
// replaces the kept file).
#pragma once

#include <string>

namespace tervane {

inline constexpr const char* kResumeVariable = "TERVANE_DOWNLOAD_RESUME";

// The folder of the kept partial downloads (not created here); empty when neither
// XDG_STATE_HOME nor HOME is set.
std::string PartialDownloadFolder();

// The kept partial file of a download kind, by the kind's letter of the open request
// ('F' .mf, 'D' .mfd, 'S' .bin, 'P' .mpk, 'K' .mfk, 'B' .sbk, 'C' .pub); empty when there
// is no folder.
std::string PartialDownloadPath(char kindLetter);

// True when a partial file is kept for the kind.
bool PartialDownloadKept(char kindLetter);

// Sets or clears TERVANE_DOWNLOAD_RESUME for the next library call.
void ShareResumeChoice(bool resume);

// "Deseja continuar o download anterior?" (Windows-1252), with the caption of the memory
// tools.
std::string ResumeQuestionText();

}  // namespace tervane
