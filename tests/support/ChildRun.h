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

// As runSelf, in a new Wine process tree with the Wine locale `locale`
// (L"ja_JP.UTF-8": ANSI code page 932), through runInLocale (TestEnv.h).
// The output is the child's gtest summary with its failures, from a report
// file; exitCode is 0 when every test passed, 1 otherwise.
ProcessResult runSelfInLocale(const std::string& filter, const std::wstring& locale,
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
