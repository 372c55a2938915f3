#include "build_flow.h"

#include "child_process.h"
#include "console_prompts.h"
#include "files.h"
#include "modded_jar.h"
#include "other_runs.h"
#include "shown_texts.h"

namespace {

const std::string kSep = kPathSeparator;
const std::string kNoChanges = "Installer will now exit. No changes have been made to your system.";

// Relative to the program's folder; never made absolute, so every message
// shows them as they stand here.
struct ServerPaths {
  std::string vanillaJar;
  std::string sourceFolder;
  std::string targetFolder;
  std::string jarName;
  std::string targetJar;
};

ServerPaths paths;

void RemovePreviousInstall() {
  // Two attempts: no game holds a server's jar, only a server just stopping.
  if (!RemoveWithRetries(
          2, [] { RemoveFile(paths.targetJar); }, [] { return FileExists(paths.targetJar); }))
    AbortWithMessage("Was not able to fully remove the previously created " + paths.jarName +
                     "!\r\n\r\nProceed with manual installation.");
}

}  // namespace

void BuildServerFolder() {
  // The paths.
  paths.vanillaJar = "1.6.4.jar";
  paths.sourceFolder = "1.6.4-BRAX-HDS" + kSep;
  paths.targetFolder = ".." + kSep + "1.6.4-BRAX-HDS" + kSep;
  paths.jarName = "1.6.4-BRAX-HDS.jar";
  paths.targetJar = paths.targetFolder + paths.jarName;
  // Every name from here on is beside the program.
  ChangeFolder(ProgramFolder());
  // Welcome and terms.
  if (!AskYesNo(
          "\r\nThis program will build the " + paths.jarName +
          " file, which can be used to start a\r\nserver instance of BRAX-1.6.4.\r\n\r\n"
          "The author and/or distributor of this software is not responsible for any "
          "damages\r\nresulting from the use of this installer or the BRAX mod, including "
          "injuries or\r\ndeath caused by skeleton archers.\r\n\r\nDo you agree to these terms?"))
    AbortWithMessage(kNoChanges);
  // What must lie beside the program. Missing from a temporary folder, the
  // archiver was left in the archive the program was started from.
  if (!FileExists(kArchiverName))
    AbortWithMessage((IsInTemporaryFolder(ProgramFolder())
                          ? StartedFromArchiveText(kServerInstallerName)
                          : std::string("Cannot find the ") + kArchiverName +
                                "! It must be in the same location as this program.\r\n\r\n") +
                     kNoChanges);
  if (!MayBeExecuted(kArchiverName)) AbortWithMessage(NotExecutableText() + kNoChanges);
  if (!FileExists(paths.vanillaJar))
    AbortWithMessage(
        "Cannot find vanilla 1.6.4.jar! It must be in the same location as this "
        "program.\r\n\r\nIf you are in a GUI environment you may want to run " +
        std::string(kDesktopInstallerName) + " instead.\r\n\r\n" + kNoChanges);
  if (!FolderExists(paths.sourceFolder))
    AbortWithMessage(
        "Cannot find the location of the 1.6.4-BRAX folder!\r\n\r\nThis installer "
        "has made no changes to your system. Proceed with manual installation.");
  // A server folder that others may change could have its jar swapped
  // before the server runs.
  if (OthersMayChange(paths.targetFolder))
    AbortWithMessage("The folder " + paths.targetFolder +
                     " may be changed by other users of this computer.\r\n\r\n" + kNoChanges);
  // One run at a time beside the server folder: from here on it is written.
  if (!TakeFolderLock(".." + kSep))
    AbortWithMessage("Another installer is already building the server folder " +
                     paths.targetFolder + "\r\n\r\nWait until it has finished.\r\n\r\n" +
                     kNoChanges);
  // An earlier jar goes after a "y"; otherwise the folder is made.
  if (FileExists(paths.targetJar)) {
    if (!AskYesNo(paths.jarName + " already exists. Do you wish to update it?"))
      AbortWithMessage(kNoChanges);
    RemovePreviousInstall();
  } else {
    CreateFolder(paths.targetFolder);
    if (!FolderExists(paths.targetFolder))
      AbortWithMessage("Was not able to create folder " + paths.targetFolder + "!\r\n\r\n" +
                       kNoChanges);
  }
  // The jar, then the scripts.
  CopyOrAbort(paths.vanillaJar, paths.targetJar);
  for (const char *script : {"run.bat", "bash_scripts.zip", "bash_scripts.tar"})
    CopyOrAbort(paths.sourceFolder + script, paths.targetFolder + script);
  // The mod's classes into the jar. The argument texts stand as they always
  // have, unquoted (the folder names hold no blank); the program goes back to
  // its own folder, which the messages name the server folder from.
  const std::string up = ".." + kSep + ".." + kSep;
  BuildModdedJar({paths.targetJar, paths.sourceFolder + "class" + kSep, paths.targetJar,
                  up + paths.targetJar, true});
  // Done; the run ends with a key like every other.
  PrintLine("\r\n" + paths.jarName +
            " has been successfully created!\r\n\r\nYour server folder is "
            "located at " +
            paths.targetFolder);
  AbortWithMessage("\r\nYou can start a headless server instance now by running the included " +
                   std::string(kServerStartScripts) + ".\r\n\r\nHave fun :)");
}
