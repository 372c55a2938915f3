// The console: its key queue, the waits on it, our output, and how it is
// prepared and given back.
//
// The key queue: one per process, filled by looks at the console,
// watched by Pause, emptied by PollKey.
//
// A key value is one character for a key that types one (as typed, Enter is
// "\r", Backspace "\b"), or the byte 255 followed by the key's PC BIOS code
// for an extended key (F1 is 255,59; Up is 255,72). kCloseKey is queued when
// the console window closes (on Linux: when the terminal hangs up).
//
// Input that is no console (a pipe, a file, a null device) gives one key
// value per byte, in order, and ends: once it has ended and nothing is
// pending, the prompts treat a question as answered No and a key wait as
// over (ConsoleInputEnded).
//
// The console also takes our output, and is given back as it was on every
// way out: on Linux the terminal leaves raw mode at exit and before a signal
// ends us; on Windows QuickEdit, off while we run, comes back at exit and on
// Ctrl+C. console.cpp holds the queue and the waits; console_posix.cpp and
// console_windows.cpp read and restore the platform's console.
#pragma once

#include <cstddef>
#include <string>

extern const char kCloseKey[];  // 255, 107

// --- The queue (platform-neutral) ----------------------------------------------

// Room for 511 pending keys; a key arriving at a full queue pushes out the
// oldest.
constexpr std::size_t kKeyQueueSlots = 512;

// Appends a key value and sets the new-key mark.
void AppendKey(const std::string &key);
// Reads and clears the new-key mark.
bool TakeNewKeyMark();
// The number of pending keys.
std::size_t PendingKeyCount();
// Empties the queue and clears the mark (for tests).
void ResetKeyQueue();

// Takes the oldest pending key, or returns "" at once when none is pending.
// Looks at the console before and after, and clears the new-key mark.
std::string PollKey();

// Blocks until PollKey has a key to give, and returns it; returns "" once the
// input has ended with nothing pending. Never spins: it sleeps on the input
// between looks.
std::string WaitForKey();

// --- The look at the console (one file per platform) ---------------------------

// Takes every input already waiting, without waiting for more, turns each key
// press into its key value and appends it. The first look also prepares the
// console: its control handler; on Linux raw mode, on Windows QuickEdit off,
// both given back on every way out.
void LookAtConsole();

// True once the input is no console and has reached its end.
bool ConsoleInputEnded();

// Blocks until input may be waiting or the input has ended.
void WaitForConsoleInput();

// Waits `milliseconds`. From 100 ms on, the console is looked at every 50 ms
// and a key pressed since the last look ends the wait early; the key stays
// queued for the next prompt.
void Pause(int milliseconds);

// --- Our output and the console's restoring (one file per platform) -----------

// Writes text to standard output at once, bytes unchanged. A closed or
// broken output is ignored: the run goes on to its end.
void WriteToConsole(const std::string &text);

// Sleeps without looking at the console.
void SleepMilliseconds(int milliseconds);

// Gives the console back as we found it, for good: before a signal ends us
// (the child's relay ends us so too). Nothing to do on Windows, where the
// exit and the Ctrl handler restore it.
void RestoreConsoleForGood();
