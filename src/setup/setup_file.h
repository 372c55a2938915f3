// setup.ini beside Setup: one line "minecraft_path=" + the game folder.
#pragma once

#include <string>
#include <vector>

// The file's name, relative to the current folder (the program's folder
// whenever these run).
extern const char kSetupFileName[];

// One line of a setup file, without its line end: when its key (before the
// first "=", spaces trimmed, lower case) is "minecraft_path", sets `value` to
// its value (spaces trimmed, then one pair of double quotes around it
// dropped; a value beginning with "<" is empty) and `found` to true.
void ReadSetupLine(std::string line, bool &found, std::string &value);

// The same over a whole text whose lines end in LF or CR LF: true when a line
// carries the key, `value` then the last such line's value.
bool FindGameFolder(const std::string &text, std::string &value);

// Replaces `gameFolder` by what setup.ini says and returns true; returns false
// and leaves it alone when the file does not exist, cannot be read or names
// no folder.
bool ReadSetupFile(std::string &gameFolder);

// Writes "minecraft_path=" + the game folder (the example value when it is
// empty), with no line end, in the bytes SetupFileBytes gives. A file that
// cannot be written is left alone.
void WriteSetupFile(const std::string &gameFolder);

// Opens setup.ini in the user's editor and returns at once.
void EditSetupFile();

// --- Platform part -------------------------------------------------------------

// Where the game's launchers keep its folder, the usual place first; each ends
// in the separator.
std::vector<std::string> GameFolderPlaces();

// Turns a value read from setup.ini into the path the platform's calls take,
// as players write it: Windows converts a value from the legacy code page to
// UTF-8, then replaces %NAME%; Linux replaces a leading "~", $NAME and
// ${NAME}. A variable that is not set stays as written.
std::string SetupValueToPath(const std::string &value);

// The bytes setup.ini is written in for a line of UTF-8, as the system's own
// editor reads them: Windows writes the legacy code page when every character
// fits it, else UTF-8 after a byte-order mark; Linux writes the line as it is.
std::string SetupFileBytes(const std::string &text);

// Linux: `name` in an absolute folder of PATH, or "". The editor and the
// dialogs (message_box_posix.cpp) are found so.
std::string FindOnSearchPath(const std::string &name);
