// Where a start-up's time goes, for the developers who make it shorter: each
// step marks its end, and at the first idle moment the marks are written to
// the file the environment variable KIVRA_STARTUP_TIMES names (appended, one
// start after the other), as "<milliseconds since wWinMain> <step>" lines
// ended by a line "--". Without the variable nothing is written, and a mark
// costs a counter read.
#pragma once

namespace kivra {

constexpr wchar_t kStartupTimesVariable[] = L"KIVRA_STARTUP_TIMES";

// Marks the end of a step; name must stay valid (a literal). Marks past the
// capacity of a start-up are dropped; so are marks after WriteStartupTimes.
void MarkStartupStep(const char* name);

// Writes the marks, once per process; false when nothing was written.
bool WriteStartupTimes();

}  // namespace kivra
