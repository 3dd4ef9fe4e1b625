// A named timing scope reported to the optional profiler: begun at
// construction, ended at destruction. Costs nothing without the profiler.
#pragma once

#include "core/Win32.h"

class ProfileScope {
public:
    ProfileScope(const char* name, const char* sourceFile, unsigned line);
    // Formats the name printf-style (Microsoft conventions: %S is a wide
    // string), cut at 999 characters and always terminated.
    template <typename First, typename... Rest>
    ProfileScope(const char* nameFormat, const char* sourceFile, unsigned line, First first, Rest... rest)
    {
        beginFormatted(nameFormat, sourceFile, line, first, rest...);
    }
    virtual ~ProfileScope();
    ProfileScope(const ProfileScope&) = delete;
    ProfileScope& operator=(const ProfileScope&) = delete;

    static constexpr size_t kMaxNameLength = 999;

protected:
    // Makes a record only for a non-empty name.
    virtual void begin(const char* name, const char* sourceFile, unsigned line);

private:
    void beginFormatted(const char* nameFormat, const char* sourceFile, unsigned line, ...);

    struct Record {
        char* name;
        const char* sourceFile; // not copied: a literal of the caller
        unsigned line;
        DWORD id;
    };
    Record* record_ = nullptr;
};

#define VRELM_PROFILE_CONCAT2(a, b) a##b
#define VRELM_PROFILE_CONCAT(a, b) VRELM_PROFILE_CONCAT2(a, b)
// PROFILE_SCOPE("LumoraUI::SetPrinterPort(%S, %S,,)", printer, port);
#define PROFILE_SCOPE(format, ...) \
    ProfileScope VRELM_PROFILE_CONCAT(profileScope_, __LINE__)( \
        format, __FILE__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
