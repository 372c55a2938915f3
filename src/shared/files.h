// Files and folders, as both programs use them: paths, the program's folder,
// finding, copying and removing files, and the environment's folders.
//
// files_posix.cpp and files_windows.cpp implement what each platform does
// its own way; files.cpp what reads the same on both. Paths and texts are
// UTF-8 byte strings; only CopyOrAbort ends the process.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// The separator of every path the programs build: "\\" on Windows, "/" here.
extern const char kPathSeparator[];

// True when `path` does not depend on the current folder.
bool IsAbsolutePath(const std::string &path);

// The folder of the running executable, always ending in a separator.
std::string ProgramFolder();

// True when the last component of `path` (a pattern: `*` and `?` match)
// names at least one entry that counts as a file: not a folder, device,
// hidden or system entry. On Linux a name beginning with "." is hidden and
// only regular files count, links followed.
bool FileExists(const std::string &path);

// The names of the entries in the folder of `pattern` that match its last
// component and count as files (as in FileExists).
std::vector<std::string> FindFiles(const std::string &pattern);

// True when the process can make `path` its current folder. The current
// folder is the same on return.
bool FolderExists(const std::string &path);

// The current folder as an absolute path; empty when it cannot be read.
std::string CurrentFolder();

// Makes `path` the current folder; true on success.
bool ChangeFolder(const std::string &path);

// Creates one folder; true when it was created.
bool CreateFolder(const std::string &path);

// Deletes one file; true when it was deleted.
bool RemoveFile(const std::string &path);

// Opens a file as std::fopen does ("rb", "wb"); null when it cannot.
std::FILE *OpenFile(const std::string &path, const char *mode);

// Copies a file, replacing an existing destination; true on success. On
// Linux the copy is a new file renamed over the destination (a link there is
// replaced, not followed); a failed copy leaves the destination as it was.
bool CopyFileReplacing(const std::string &source, const std::string &destination);

// Copies `source` to `destination`, replacing it. On failure shows the
// copy-failure message through AbortWithMessage; returns only on success.
void CopyOrAbort(const std::string &source, const std::string &destination);

// Removes the files beside `path` named as it is + `suffix` + perhaps decimal
// digits, as a killed run leaves them. A file that cannot be removed stays.
void RemoveNumberedLeftovers(const std::string &path, const std::string &suffix);

// Removes what killed archiver runs left beside `archive`: the temporary
// copies named as it is, + ".tmp" and perhaps decimal digits. Nothing else is
// touched, and a copy that cannot be removed stays.
void RemoveArchiverLeftovers(const std::string &archive);

// True when `folder` lies at any depth below the user's temporary folder
// (Windows: the one GetTempPath names, short and long names alike; Linux:
// $TMPDIR, else /tmp, links resolved). Archive viewers start a program from
// there without the files beside it.
bool IsInTemporaryFolder(const std::string &folder);

// The variable's value; empty when it is not set.
std::string ReadEnvironment(const std::string &name);

// Linux: writes all of `size` bytes to `descriptor`, again after an
// interruption or a short write; false on an error. The copies and the
// relay of a child's output both need it.
bool WriteAll(int descriptor, const char *data, std::size_t size);
