// Setup's install flow: consent, edition, game folder, checks, removal of an
// earlier install, copies and the two archiver runs.
#pragma once

#include <string>

// Where the install goes, computed once from the game folder. Every folder
// ends in the path separator.
struct InstallPaths {
  std::string gameFolder;
  std::string versionsFolder;
  std::string resourcePacksFolder;
  std::string vanillaFolder;
  std::string vanillaJar;
  std::string sourceFolder;  // relative: beside the program
  std::string targetFolder;
  std::string targetJar;
};

// Fills the paths of the edition from `gameFolder`, to which a missing
// trailing separator is added (an empty folder stays empty: it is not found).
InstallPaths ComputeInstallPaths(std::string &gameFolder, bool serverEdition);

// The main routine: runs the install from the first question to the last
// box and ends the process with exit code 0.
[[noreturn]] void RunSetup();

// --- The three boxes ----------------------------------------------------------

// A question: kIdYes or kIdNo, 0 when no box could be shown.
int AskYesNo(const std::string &text);
void ShowInfo(const std::string &text);
