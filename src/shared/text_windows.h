// Texts at the Windows boundary. Every path and text the programs hold is
// UTF-8, whatever the system's code page; the wide calls take and give
// UTF-16, converted here. Windows 7 to 10 1809 ignore the manifest's UTF-8
// code page, and there the ANSI calls would turn any character outside the
// legacy code page into "?".
#pragma once

#include <string>

// UTF-8 to UTF-16; empty for an empty text.
std::wstring WideFromUtf8(const std::string &text);

// UTF-16 to UTF-8: `length` units of `text`, or up to its end when -1.
std::string Utf8FromWide(const wchar_t *text, int length = -1);

// The value of the environment variable `name` in `value`; false when it is
// not set (a variable may be set and empty).
bool ReadEnvironmentVariable(const std::string &name, std::string &value);
