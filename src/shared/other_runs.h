// What other runs of ours and other programs may do meanwhile: the lock that
// keeps two runs from writing into one folder, the archiver's execute
// permission, a server folder others may change, and the removal of a
// version folder the game may hold a file of.
//
// other_runs_posix.cpp and other_runs_windows.cpp implement them.
#pragma once

#include <string>

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
