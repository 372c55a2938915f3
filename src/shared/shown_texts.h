// Texts both programs show the user, in each platform's words, and how each
// program shows the message it ends with.
//
// shown_texts_posix.cpp and shown_texts_windows.cpp hold each platform's
// words; shown_texts.cpp the texts that read the same on both.
#pragma once

#include <string>

// The desktop installer, named in ServerSetup's missing-jar message.
extern const char kDesktopInstallerName[];

// The console installer's file name.
extern const char kServerInstallerName[];

// The value setup.ini carries when the game folder is empty: it reads back
// as empty (it begins with "<") and shows the user what belongs there.
extern const char kExampleGameFolder[];

// The game's launcher as players know it: "Minecraft.exe launcher" on
// Windows, "Minecraft launcher" here.
extern const char kLauncherName[];

// What starts a built server: "batch file" (run.bat) on Windows, the
// start-up scripts of bash_scripts.tar here.
extern const char kServerStartScripts[];

// What replaces the archiver-missing message for `program` (its file name)
// started from a temporary folder: the paragraphs before the closing ones,
// each followed by a blank line.
std::string StartedFromArchiveText(const std::string &program);

// What an archiver that may not be executed stops the run with: the
// paragraphs before the closing ones, each followed by a blank line.
std::string NotExecutableText();

// Shows `message` and ends the process with exit code 0. Setup shows a warning
// box; ServerSetup prints it and waits for a key; test binaries define their own.
[[noreturn]] void AbortWithMessage(const std::string &message);
