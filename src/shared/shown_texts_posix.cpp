// The texts both programs show, in Linux's words.
#include "shown_texts.h"

const char kDesktopInstallerName[] = "Setup";
const char kServerInstallerName[] = "ServerSetup";
const char kExampleGameFolder[] = "<eg. /home/orlander/.minecraft/>";
const char kLauncherName[] = "Minecraft launcher";
const char kServerStartScripts[] = "start-up scripts of bash_scripts.tar";

std::string StartedFromArchiveText(const std::string &program) {
  return program +
         " has been started from a temporary folder without the files it needs beside "
         "it.\r\n\r\nPlease extract the whole archive first, then run " +
         program + " from the extracted folder.\r\n\r\n";
}
