// One trace line to the optional profiler, formatted printf-style (Microsoft
// conventions: %S is a wide string) into a 512-byte buffer. A longer line is
// cut there and still terminated; nothing is written past the buffer.
#pragma once

inline constexpr unsigned kTraceLineBytes = 512;

void logTraceFormat(const char* format, ...);
