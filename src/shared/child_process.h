// Starting the archiver and waiting for it: the one way either program
// starts a child.
//
// On Linux (child_process_posix.cpp) the child's output is relayed when ours
// is no terminal, and a signal that ends us (a kill, a hang-up, Ctrl+C) ends
// it first. On Windows (child_process_windows.cpp) it starts suspended, joins
// a job that ends it when we end, however we end, and is then resumed.
#pragma once

#include <string>

// The archiver beside the programs: "7za.exe" on Windows, "7za" on Linux.
extern const char kArchiverName[];

// Starts `program` (a path without blanks, never looked up in the search
// path) with the command line `program + " " + arguments` and waits for it.
// Returns its exit code, or -1 when it cannot be started. On Linux the
// argument text is split into words the way a Windows program splits its
// command line, and a child killed by a signal gives 128 + the signal.
int RunCommand(const std::string &program, const std::string &arguments);

// The exit code as signed decimal text.
inline std::string ExitCodeText(int code) { return std::to_string(code); }

// What the parent left us: a signal it set to "ignore" stays ignored, for us
// and our children, and an ignored SIGCHLD, which would make every wait for a
// child fail, goes back to default. Called first thing in main, before
// anything changes a signal; nothing to do on Windows.
void NoteStartSignals();

// Ignores a broken pipe from now on: a reader of our output that went away
// must not end the run half done. Before our first write to the output and
// before the first child; Windows has no such signal.
void IgnoreBrokenPipe();
