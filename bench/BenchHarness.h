// The benchmarks' harness. A case pairs the module's code with the bare
// platform calls that code must make; the two run interleaved in one process
// (alternating which goes first), each round timed over a batch, and the
// table shows each side's median per call and their ratio. A case's step
// answers false when the work failed, which fails the program: a benchmark
// that times a failure path is worse than none. Times are printed, never
// judged.
#pragma once

#include "core/Win32.h"

#include <functional>
#include <string>

namespace bench {

struct Options {
    int rounds = 15;          // timed rounds per side
    double roundMs = 20.0;    // a round's batch is sized to about this long
    double caseBudgetMs = 8000.0; // fewer rounds when one call is slow
    bool tiny = false;        // one call per side, for CI: proves the code runs
    bool header = true;
    std::wstring filter;      // only cases whose name contains it
};

// --tiny, --rounds N, --round-ms N, --rows-only, --filter TEXT.
Options parseOptions(int argc, wchar_t** argv);

using Step = std::function<bool()>;

class Table {
public:
    explicit Table(const Options& options);
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // Times one case and prints its row at once.
    void run(const std::wstring& name, const Step& module, const Step& baseline);
    // A case that could not be set up: a row saying why, and a failed run.
    void fail(const std::wstring& name, const std::wstring& why);
    // 0 when every case's steps succeeded.
    int exitCode() const { return failed_ ? 1 : 0; }

private:
    Options options_;
    bool failed_ = false;
};

// Microseconds from the performance counter.
double nowMicroseconds();

} // namespace bench
