#pragma once

// Writes a trace line to standard output, printf-style, and flushes it at once:
// whoever reads the program's output sees each line as it happens, even when
// the program is killed next. The format gives the line end itself.
void traceLine(const char *format, ...) __attribute__((format(printf, 1, 2)));
