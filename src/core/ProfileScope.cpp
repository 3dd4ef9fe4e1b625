#include "core/ProfileScope.h"

#include "core/DllProfiler.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

ProfileScope::ProfileScope(const char* name, const char* sourceFile, unsigned line)
{
    begin(name, sourceFile, line);
}

void ProfileScope::beginFormatted(const char* nameFormat, const char* sourceFile, unsigned line, ...)
{
    char name[kMaxNameLength + 1] = {};
    if (nameFormat) {
        va_list args;
        va_start(args, line);
        // The C runtime's own formatter, for the Microsoft meaning of %S.
        // It may leave the buffer unterminated when it cuts: terminate here.
        _vsnprintf(name, kMaxNameLength, nameFormat, args);
        va_end(args);
        name[kMaxNameLength] = '\0';
    }
    begin(name, sourceFile, line);
}

ProfileScope::~ProfileScope()
{
    if (record_) {
        profileScopeEnd(record_->id, record_->name);
        delete[] record_->name;
        delete record_;
        record_ = nullptr;
    }
}

void ProfileScope::begin(const char* name, const char* sourceFile, unsigned line)
{
    if (!name || !*name)
        return;
    Record* record = new (std::nothrow) Record{};
    if (!record)
        return;
    const size_t length = std::strlen(name);
    record->name = new (std::nothrow) char[length + 1];
    if (!record->name) {
        delete record;
        return;
    }
    std::memcpy(record->name, name, length + 1);
    record->sourceFile = sourceFile;
    record->line = line;
    record->id = profileScopeBegin(record->name);
    record_ = record;
}
