// setup.ini beside Setup: one line "minecraft_path=" + the game folder.
#pragma once

#include <string>

// The file's name, relative to the current folder (the program's folder
// whenever these run).
extern const char kSetupFileName[];

// One line of a setup file, without its line end: when its key (before the
// first "=", spaces trimmed, lower case) is "minecraft_path", sets `value` to
// its value (spaces trimmed; a value beginning with "<" is empty) and
// `found` to true.
void ReadSetupLine(std::string line, bool &found, std::string &value);

// The same over a whole text whose lines end in LF or CR LF: true when a line
// carries the key, `value` then the last such line's value.
bool FindGameFolder(const std::string &text, std::string &value);

// Replaces `gameFolder` by what setup.ini says; nothing happens when the file
// does not exist or cannot be read.
void ReadSetupFile(std::string &gameFolder);

// Writes "minecraft_path=" + the game folder (the example value when it is
// empty), with no line end. A file that cannot be written is left alone.
void WriteSetupFile(const std::string &gameFolder);

// Opens setup.ini in the user's editor and returns at once.
void EditSetupFile();

// --- Platform part -------------------------------------------------------------

// Turns a value read from setup.ini into the text the platform's calls take
// (Windows: UTF-8, converting a value from the legacy code page).
std::string SetupValueToPath(const std::string &value);
