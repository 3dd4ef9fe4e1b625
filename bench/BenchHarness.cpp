#include "BenchHarness.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace bench {

namespace {

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// Microseconds per call over a batch, or a negative value when a call failed.
double timeBatch(const Step& step, int batch)
{
    const double start = nowMicroseconds();
    for (int i = 0; i < batch; ++i) {
        if (!step())
            return -1.0;
    }
    return (nowMicroseconds() - start) / batch;
}

void printRow(const std::wstring& name, const wchar_t* module, const wchar_t* baseline, const wchar_t* ratio)
{
    std::wprintf(L"| %ls | %ls | %ls | %ls |\n", name.c_str(), module, baseline, ratio);
    std::fflush(stdout);
}

} // namespace

double nowMicroseconds()
{
    static const double ticksPerMicrosecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1e6;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMicrosecond;
}

Options parseOptions(int argc, wchar_t** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--tiny") {
            options.tiny = true;
        } else if (arg == L"--rows-only") {
            options.header = false;
        } else if (arg == L"--rounds" && hasValue) {
            options.rounds = std::max(1, _wtoi(argv[++i]));
        } else if (arg == L"--round-ms" && hasValue) {
            options.roundMs = std::max(1, _wtoi(argv[++i]));
        } else if (arg == L"--filter" && hasValue) {
            options.filter = argv[++i];
        } else {
            std::fwprintf(stderr, L"unknown argument %ls\n", arg.c_str());
        }
    }
    return options;
}

Table::Table(const Options& options) : options_(options)
{
    if (options_.header) {
        std::wprintf(L"| case | module (us) | baseline (us) | ratio |\n|---|---:|---:|---:|\n");
        std::fflush(stdout);
    }
}

void Table::run(const std::wstring& name, const Step& module, const Step& baseline)
{
    if (!options_.filter.empty() && name.find(options_.filter) == std::wstring::npos)
        return;
    // The first call of each side warms caches and sizes the batch.
    const double firstModule = timeBatch(module, 1);
    const double firstBaseline = timeBatch(baseline, 1);
    if (firstModule < 0 || firstBaseline < 0) {
        fail(name, firstModule < 0 ? L"module step failed" : L"baseline step failed");
        return;
    }
    if (options_.tiny) {
        printRow(name, L"-", L"-", L"(tiny run)");
        return;
    }
    const double slowest = std::max({firstModule, firstBaseline, 0.01});
    const int batch = std::max(1, static_cast<int>(options_.roundMs * 1000.0 / slowest));
    const double perRound = (firstModule + firstBaseline) * batch / 1000.0;
    const int rounds =
        std::clamp(static_cast<int>(options_.caseBudgetMs / std::max(perRound, 0.001)), 3, options_.rounds);

    std::vector<double> moduleTimes;
    std::vector<double> baselineTimes;
    for (int round = 0; round < rounds; ++round) {
        // Alternate which side goes first, so that drift favours neither.
        const bool moduleFirst = round % 2 == 0;
        const double a = timeBatch(moduleFirst ? module : baseline, batch);
        const double b = timeBatch(moduleFirst ? baseline : module, batch);
        if (a < 0 || b < 0) {
            fail(name, L"a step failed while timed");
            return;
        }
        moduleTimes.push_back(moduleFirst ? a : b);
        baselineTimes.push_back(moduleFirst ? b : a);
    }
    const double moduleMedian = median(moduleTimes);
    const double baselineMedian = median(baselineTimes);
    wchar_t moduleText[32], baselineText[32], ratioText[32];
    std::swprintf(moduleText, 32, L"%.1f", moduleMedian);
    std::swprintf(baselineText, 32, L"%.1f", baselineMedian);
    std::swprintf(ratioText, 32, L"%.2fx", baselineMedian > 0 ? moduleMedian / baselineMedian : 0.0);
    printRow(name, moduleText, baselineText, ratioText);
}

void Table::fail(const std::wstring& name, const std::wstring& why)
{
    failed_ = true;
    printRow(name, L"-", L"-", (L"FAILED: " + why).c_str());
}

} // namespace bench
