// Tests that must run in a fresh process (a different code page, a second
// process id): the parent runs its own executable again with a gtest filter
// and extra environment; the child-only tests skip themselves elsewhere.
#pragma once

#include "support/TestEnv.h"

#include <string>
#include <utility>
#include <vector>

namespace testenv {

// Runs this executable with --gtest_filter=filter, the given variables and
// VRELM_TEST_CHILD=1 added to the environment.
ProcessResult runSelf(const std::string& filter,
                      const std::vector<std::pair<std::wstring, std::wstring>>& environment = {},
                      DWORD timeoutMs = 30000);

// As runSelf, in a process whose Windows locale (ANSI code page, language)
// comes from the Unix locale name, e.g. "ja_JP.UTF-8" for code page 932.
// Wine fixes the locale per process tree: a child started from Windows code
// inherits its parent's whatever its environment says, so this one starts
// through a Unix shell with LC_ALL and LANG set. Wine gives no handle on a
// Unix process: past the timeout the child is left running (timedOut set).
ProcessResult runSelfInLocale(const std::string& filter, const std::wstring& unixLocale,
                              const std::vector<std::pair<std::wstring, std::wstring>>& environment = {},
                              DWORD timeoutMs = 30000);

// True inside a process started by runSelf or runSelfInLocale.
bool inChildProcess();

} // namespace testenv

// First statement of a test that only makes sense inside runSelf's child.
#define CHILD_TEST_ONLY()                                    \
    do {                                                     \
        if (!::testenv::inChildProcess())                    \
            GTEST_SKIP() << "runs inside a child process";   \
    } while (0)
