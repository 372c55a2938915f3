#include "install_flow.h"

#include <cstdlib>

#include "child_process.h"
#include "command_line.h"
#include "files.h"
#include "message_box.h"
#include "modded_jar.h"
#include "other_runs.h"
#include "setup_file.h"
#include "shown_texts.h"

namespace {

const std::string kSep = kPathSeparator;
const std::string kVersion = "1.6.4";
const std::string kServerSource = kVersion + "-BRAX-HDS";
const std::string kNoChanges =
    "Installer will now exit.\r\n\r\nNo changes have been made to your system.";
const std::string kManual =
    "This installer has made no changes to your system. Proceed with manual installation.";
const std::string kInstallVanilla =
    "Please ensure that vanilla Minecraft version 1.6.4 has been installed before attempting to "
    "install BRAX.\r\n\r\nNo changes have been made to your system.";

bool serverEdition = false;
InstallPaths paths;

[[noreturn]] void EndProcess() { std::exit(0); }

// A relative jar path that begins with "-" would reach the archiver as a
// switch; "./" in front names the same file.
std::string SeenFromProgramFolder(const std::string &path) {
  if (path.empty() || path[0] != '-') return path;
  return "." + kSep + path;
}

// A relative jar path is relative to the program's folder; the second
// archiver run starts two folders below it.
std::string SeenFromClassFolder(const std::string &path) {
  if (IsAbsolutePath(path)) return path;
  return ".." + kSep + ".." + kSep + path;
}

// The removal names the folder by its full path, so that where the command
// interpreter starts cannot matter.
std::string FullPath(const std::string &path) {
  const std::string current = CurrentFolder();
  if (IsAbsolutePath(path) || current.empty()) return path;
  return current.back() == kSep[0] ? current + path : current + kSep + path;
}

void RemovePreviousInstall() {
  // Server edition: only the jar goes; client edition: the whole folder, or
  // nothing of it while the game holds a file in it.
  bool inUse = false;
  auto attempt = [&inUse] {
    if (serverEdition)
      RemoveFile(paths.targetJar);
    else
      inUse = RemoveVersionFolder(FullPath(paths.targetFolder)) == Removal::kInUse;
  };
  auto stillThere = [] {
    return serverEdition ? FileExists(paths.targetJar) : FolderExists(paths.targetFolder);
  };
  // Three attempts: the launcher may let go of a file a moment later.
  const bool removed = RemoveWithRetries(3, attempt, stillThere);
  if (!removed && inUse)
    AbortWithMessage(
        "Was not able to remove your previous installation of BRAX: a file in it is in "
        "use.\r\n\r\nClose Minecraft and its launcher, then run the installer again.\r\n\r\nNo "
        "changes have been made to your system.");
  if (!removed)
    AbortWithMessage(
        "Was not able to fully remove your previous installation of BRAX!\r\n\r\nProceed with "
        "manual installation.");
}

// The first place that holds vanilla 1.6.4, else the first that exists, else
// the first.
std::string ChooseGameFolder(const std::vector<std::string> &places) {
  for (const std::string &place : places)
    if (FileExists(place + "versions" + kSep + kVersion + kSep + kVersion + ".jar")) return place;
  for (const std::string &place : places)
    if (FolderExists(place)) return place;
  return places.front();
}

void CheckOrAbort(bool passes, const std::string &message) {
  if (!passes) AbortWithMessage(message);
}

}  // namespace

int AskYesNo(const std::string &text) { return ShowMessageBox(text, BoxKind::kQuestion); }

void ShowInfo(const std::string &text) { ShowMessageBox(text, BoxKind::kInformation); }

void AbortWithMessage(const std::string &message) {
  ShowMessageBox(message, BoxKind::kWarning);
  EndProcess();
}

InstallPaths ComputeInstallPaths(std::string &gameFolder, bool server) {
  // The game folder ends in a separator.
  if (!gameFolder.empty() && gameFolder.back() != kSep[0]) gameFolder += kSep;
  InstallPaths p;
  p.gameFolder = gameFolder;
  // The game's own folders.
  p.versionsFolder = p.gameFolder + "versions" + kSep;
  p.resourcePacksFolder = p.gameFolder + "resourcepacks" + kSep;
  p.vanillaFolder = p.versionsFolder + kVersion + kSep;
  p.vanillaJar = p.vanillaFolder + kVersion + ".jar";
  // The edition's.
  const std::string edition = server ? "-BRAX-HDS" : "-BRAX";
  p.sourceFolder = kVersion + edition + kSep;
  p.targetFolder = p.versionsFolder + kVersion + edition + kSep;
  p.targetJar = p.targetFolder + kVersion + edition + ".jar";
  return p;
}

void RunSetup() {
  // Consent.
  if (AskYesNo("This program will install the Brax Overhaul (BRAX) mod for Minecraft 1.6.4.\r\n\r\n"
               "The author and/or distributor of this software is not responsible for any damages "
               "resulting from the use of this installer or the BRAX mod, including injuries or "
               "death caused by skeleton archers.\r\n\r\nDo you agree to these terms?") == kIdNo) {
    ShowInfo(kNoChanges);
    EndProcess();
  }
  // Every relative name from here on is beside the program, setup.ini too.
  ChangeFolder(ProgramFolder());
  // The edition: the server's source folder wins.
  serverEdition = FolderExists(kServerSource);
  // The game folder: what setup.ini names, or else where a launcher keeps it.
  std::string gameFolder;
  if (!ReadSetupFile(gameFolder)) gameFolder = ChooseGameFolder(GameFolderPlaces());
  // The paths.
  paths = ComputeInstallPaths(gameFolder, serverEdition);
  const std::string resourcePack = "BRAX Resource Pack " + kVersion + ".zip";

  // The checks. An archiver missing from a temporary folder was left in the
  // archive the program was started from.
  if (!FileExists(kArchiverName))
    AbortWithMessage((IsInTemporaryFolder(ProgramFolder())
                          ? StartedFromArchiveText(kDesktopInstallerName)
                          : std::string("Cannot find the ") + kArchiverName +
                                " archiving program! It must be in the same location as this "
                                "program.\r\n\r\n") +
                     kNoChanges);
  CheckOrAbort(MayBeExecuted(kArchiverName), NotExecutableText() + kNoChanges);
  CheckOrAbort(FolderExists(paths.sourceFolder),
               "Cannot find the location of the 1.6.4-BRAX folder!\r\n\r\n" + kManual);
  CheckOrAbort(FileExists(paths.sourceFolder + resourcePack) || serverEdition,
               "Cannot find the location of the BRAX Resource Pack!\r\n\r\n" + kManual);
  if (paths.gameFolder.empty() || !FolderExists(paths.gameFolder)) {
    // The user is shown where the folder should be named, and may edit it.
    WriteSetupFile(paths.gameFolder);
    if (AskYesNo(
            "Your minecraft folder was not found in the expected location.\r\n\r\nPlease edit " +
            std::string(kSetupFileName) +
            " so that it contains the correct path, then run the installer again.\r\n\r\n"
            "Would you like to edit this file now?") == kIdYes)
      EditSetupFile();
    EndProcess();
  }
  CheckOrAbort(FolderExists(paths.versionsFolder), "Cannot find the location of your .minecraft" +
                                                       kSep + "versions folder!\r\n\r\n" + kManual);
  CheckOrAbort(FolderExists(paths.resourcePacksFolder) || serverEdition,
               "Cannot find the location of your .minecraft" + kSep +
                   "resourcepacks folder!\r\n\r\n" + kManual);
  CheckOrAbort(FolderExists(paths.vanillaFolder), "Cannot find the location of your .minecraft" +
                                                      kSep + "versions" + kSep +
                                                      "1.6.4 folder!\r\n\r\n" + kInstallVanilla);
  CheckOrAbort(FileExists(paths.vanillaJar),
               "Cannot find the jar file for vanilla Minecraft 1.6.4!\r\n\r\n" + kInstallVanilla);

  // One run at a time in a game folder: from here on it is written.
  CheckOrAbort(TakeFolderLock(paths.gameFolder),
               "Another installer is already installing BRAX into " + paths.gameFolder +
                   "\r\n\r\nWait until it has finished.\r\n\r\n" + kNoChanges);
  // An earlier install goes only with the user's Yes.
  if (FolderExists(paths.targetFolder)) {
    const std::string label = serverEdition ? "BRAX-HDS" : "BRAX";
    if (AskYesNo("A previous installation of " + label +
                 " was found.\r\n\r\nDo you wish to overwrite it?\r\n\r\n(This will not remove "
                 "your saved worlds.)") != kIdYes) {
      ShowInfo(kNoChanges);
      EndProcess();
    }
    RemovePreviousInstall();
  }
  // The version folder (still there after a server-edition removal).
  CreateFolder(paths.targetFolder);
  // The jar first, then the edition's files.
  CopyOrAbort(paths.vanillaJar, paths.targetJar);
  if (!serverEdition) {
    const std::string json = kVersion + "-BRAX.json";
    CopyOrAbort(paths.sourceFolder + json, paths.targetFolder + json);
    CopyOrAbort(paths.sourceFolder + resourcePack, paths.resourcePacksFolder + resourcePack);
  } else {
    for (const char *script : {"run.bat", "bash_scripts.zip", "bash_scripts.tar"})
      CopyOrAbort(paths.sourceFolder + script, paths.targetFolder + script);
  }
  // The mod's classes into the jar. The jar is quoted: game folders hold
  // spaces. The program stays in the class folder: nothing is read after.
  BuildModdedJar({paths.targetJar, paths.sourceFolder + "class" + kSep,
                  QuoteArgument(SeenFromProgramFolder(paths.targetJar)),
                  QuoteArgument(SeenFromClassFolder(paths.targetJar)), false});
  // Done.
  if (serverEdition)
    ShowInfo(
        "BRAX 1.6.4 HDS has been successfully installed!\r\n\r\nYou can start a headless "
        "server instance now by running the " +
        std::string(kServerStartScripts) + " located in the versions" + kSep +
        "1.6.4-BRAX-HDS folder.\r\n\r\nHave fun :)");
  else
    ShowInfo("BRAX 1.6.4 has been successfully installed!\r\n\r\nYou can start the " +
             std::string(kLauncherName) +
             " now. Remember to edit your profile to use the 1.6.4-BRAX version, if you "
             "have not done so already.\r\n\r\nHave fun :)\r\n\r\nTip: The /version command "
             "allows you to check which release of BRAX you are playing.");
  EndProcess();
}
