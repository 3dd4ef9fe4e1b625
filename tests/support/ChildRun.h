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

// As runSelf, but started through a Unix shell with the variables in its
// Unix environment. Wine takes some settings once per process tree, from
// the Unix environment: a child started from Windows code keeps its
// parent's whatever its own environment says. So this is the way to give a
// child another locale (LC_ALL and LANG "ja_JP.UTF-8": ANSI code page 932)
// or other DLL overrides (WINEDLLOVERRIDES). Wine gives no handle on a Unix
// process: past the timeout the child is left running (timedOut set).
ProcessResult runSelfFromUnix(const std::string& filter,
                              const std::vector<std::pair<std::wstring, std::wstring>>& unixEnvironment,
                              DWORD timeoutMs = 30000);

// True inside a process started by runSelf or runSelfFromUnix.
bool inChildProcess();

} // namespace testenv

// First statement of a test that only makes sense inside runSelf's child.
#define CHILD_TEST_ONLY()                                    \
    do {                                                     \
        if (!::testenv::inChildProcess())                    \
            GTEST_SKIP() << "runs inside a child process";   \
    } while (0)
