#include "core/TraceLine.h"

#include "core/DllProfiler.h"

#include <cstdarg>
#include <cstdio>

void logTraceFormat(const char* format, ...)
{
    if (!format)
        return;
    // The C runtime's formatter, for the Microsoft meaning of %S. It leaves a
    // cut text unterminated: the last byte stays the zero it was given.
    char line[kTraceLineBytes] = {};
    va_list args;
    va_start(args, format);
    _vsnprintf(line, sizeof(line) - 1, format, args);
    va_end(args);
    logTrace(line);
}
