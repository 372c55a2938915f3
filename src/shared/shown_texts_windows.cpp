// The texts both programs show, in Windows' words.
#include "shown_texts.h"

const char kDesktopInstallerName[] = "Setup.exe";
const char kServerInstallerName[] = "ServerSetup.exe";
const char kExampleGameFolder[] = "<eg. C:\\Users\\Orlander\\AppData\\Roaming\\.minecraft\\>";
const char kLauncherName[] = "Minecraft.exe launcher";
const char kServerStartScripts[] = "batch file";

std::string StartedFromArchiveText(const std::string &program) {
  return program +
         " has been started from inside the zip file, so the files it needs are not beside "
         "it.\r\n\r\nPlease extract the whole zip file first (right-click it and choose Extract "
         "All), then run " +
         program + " from the extracted folder.\r\n\r\n";
}
