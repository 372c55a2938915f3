// File, folder and command operations shared by Setup and ServerSetup.
//
// One interface, one implementation per platform: operations_windows.cpp
// (Win32 and msvcrt) and operations_posix.cpp (Linux), chosen by CMake.
// Everything platform-neutral lives in operations.cpp. Texts are byte
// strings; no operation here talks to the user, and only CopyOrAbort ends
// the process.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// --- Platform constants ------------------------------------------------------

// The separator of every path the programs build: "\\" on Windows, "/" here.
extern const char kPathSeparator[];
// The archiver beside the programs: "7za.exe" on Windows, "7za" on Linux.
extern const char kArchiverName[];
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

// True when `path` does not depend on the current folder.
bool IsAbsolutePath(const std::string &path);

// --- Supplied by each program -------------------------------------------------

// Shows `message` and ends the process with exit code 0. Setup shows a warning
// box; ServerSetup prints it and waits for a key; test binaries define their own.
[[noreturn]] void AbortWithMessage(const std::string &message);

// --- Operations --------------------------------------------------------------

// The folder of the running executable, always ending in a separator.
std::string ProgramFolder();

// True when the last component of `path` (a pattern: `*` and `?` match)
// names at least one entry that counts as a file: not a folder, device,
// hidden or system entry. On Linux a name beginning with "." is hidden and
// only regular files count, links followed.
bool FileExists(const std::string &path);

// True when the process can make `path` its current folder. The current
// folder is the same on return.
bool FolderExists(const std::string &path);

// The current folder as an absolute path; empty when it cannot be read.
std::string CurrentFolder();

// Makes `path` the current folder; true on success.
bool ChangeFolder(const std::string &path);

// Copies `source` to `destination`, replacing it. On failure shows the
// copy-failure message through AbortWithMessage; returns only on success.
void CopyOrAbort(const std::string &source, const std::string &destination);

// Creates one folder; true when it was created.
bool CreateFolder(const std::string &path);

// Deletes one file; true when it was deleted.
bool RemoveFile(const std::string &path);

// Opens a file as std::fopen does ("rb", "wb"); null when it cannot.
std::FILE *OpenFile(const std::string &path, const char *mode);

// Removes what killed archiver runs left beside `archive`: the temporary
// copies named as it is, + ".tmp" and perhaps decimal digits. Nothing else is
// touched, and a copy that cannot be removed stays.
void RemoveArchiverLeftovers(const std::string &archive);

// Removes the files beside `path` named as it is + `suffix` + perhaps decimal
// digits, as a killed run leaves them. A file that cannot be removed stays.
void RemoveNumberedLeftovers(const std::string &path, const std::string &suffix);

// Takes, for the rest of the process, the lock that keeps other runs from
// writing into `folder` meanwhile. No file is made for it, and the system
// drops it however the process ends. False when another process holds it; a
// folder that cannot be locked at all does not stop the run.
bool TakeFolderLock(const std::string &folder);

// False when the file `path` may not be started by us (Linux: no execute
// permission); always true on Windows, where it cannot be told beforehand.
bool MayBeExecuted(const std::string &path);

// True when the existing `folder` may be changed by other users of the
// computer: on Linux writable by others, or owned by another user than us and
// root. False for a folder that is not there, and on Windows.
bool OthersMayChange(const std::string &folder);

// How RemoveVersionFolder ended.
enum class Removal { kDone, kInUse, kFailed };

// Removes the version folder `folder` (a full path) and what earlier such
// removals left in its parent, nothing else; a link in it goes as the entry
// itself, never what it points to. On Windows the folder is first renamed
// aside, so that a file in it that another program holds open (the game)
// leaves all of it in place: kInUse; its tree is then deleted by us, no name
// of it read by another program. Linux runs rm -rf through the shell.
Removal RemoveVersionFolder(const std::string &folder);

// True when `folder` lies at any depth below the user's temporary folder
// (Windows: the one GetTempPath names, short and long names alike; Linux:
// $TMPDIR, else /tmp, links resolved). Archive viewers start a program from
// there without the files beside it.
bool IsInTemporaryFolder(const std::string &folder);

// What replaces the archiver-missing message for `program` (its file name)
// started from a temporary folder: the paragraphs before the closing ones,
// each followed by a blank line.
std::string StartedFromArchiveText(const std::string &program);

// What an archiver that may not be executed stops the run with: the
// paragraphs before the closing ones, each followed by a blank line.
std::string NotExecutableText();

// Starts `program` (a path without blanks, never looked up in the search
// path) with the command line `program + " " + arguments` and waits for it.
// Returns its exit code, or -1 when it cannot be started. On Linux the
// argument text is split into words the way a Windows program splits its
// command line, and a child killed by a signal gives 128 + the signal.
int RunCommand(const std::string &program, const std::string &arguments);

// The exit code as signed decimal text.
std::string ExitCodeText(int code);

// Waits `milliseconds`. From 100 ms on, the console is looked at every 50 ms
// and a key pressed since the last look ends the wait early; the key stays
// queued for the next prompt.
void Pause(int milliseconds);

// The variable's value; empty when it is not set.
std::string ReadEnvironment(const std::string &name);

// --- Platform primitives behind the neutral operations -----------------------

// Writes text to standard output at once, bytes unchanged. A closed or
// broken output is ignored: the run goes on to its end.
void WriteToConsole(const std::string &text);

// Sleeps without looking at the console.
void SleepMilliseconds(int milliseconds);

// The names of the entries in the folder of `pattern` that match its last
// component and count as files (as in FileExists).
std::vector<std::string> FindFiles(const std::string &pattern);

// Copies a file, replacing an existing destination; true on success. On
// Linux the copy is a new file renamed over the destination (a link there is
// replaced, not followed); a failed copy leaves the destination as it was.
bool CopyFileReplacing(const std::string &source, const std::string &destination);
