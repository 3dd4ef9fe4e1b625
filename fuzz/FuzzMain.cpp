// The fuzz program: runs one registered target in this process, input after
// input, for a given time. Seeds come from the target's corpus folder; every
// further input is a mutation of a seed or of a recent input. An input that
// crashes the process, overwrites a heap guard or runs past the hang limit
// is saved in the findings folder before the process ends; one that lets an
// exception out of the reader is saved and the run goes on.
//
//   vrelmfuzz --list
//   vrelmfuzz <target> [--seconds N] [--corpus DIR] [--findings DIR]
//             [--seed N] [--max-bytes N] [--hang-seconds N]
//   vrelmfuzz <target> --replay FILE...
//
// Exit codes: 0 no finding, 1 bad arguments or set-up, 2 crash, 3 hang,
// 5 exceptions or wrong results only (saved, the run went on).
#include "FuzzTarget.h"
#include "GuardHeap.h"
#include "Mutator.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <exception>
#include <string>
#include <thread>
#include <vector>

namespace {

// What the crash handlers need, prepared before each input so that they
// allocate nothing.
struct Current {
    const char* data = nullptr;
    size_t size = 0;
    std::atomic<uint64_t> serial{0};
    std::atomic<ULONGLONG> startedAt{0};
    std::atomic<bool> running{false};
    wchar_t findingsDir[MAX_PATH] = {};
    wchar_t target[64] = {};
    volatile LONG saving = 0;
};
Current current;

uint64_t hashOf(const char* data, size_t size)
{
    uint64_t hash = 0xCBF29CE484222325ull;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ static_cast<unsigned char>(data[i])) * 0x100000001B3ull;
    return hash;
}

// Findings go to both streams: the XML reader's own complaints share
// standard error, and may split a line there.
void writeReport(const char* text)
{
    std::fflush(stdout);
    for (DWORD stream : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        DWORD written = 0;
        WriteFile(GetStdHandle(stream), text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    }
}

// Saves the current input as <kind>-<target>-<hash>.bin; no allocation.
void saveInput(const wchar_t* kind, const char* detail)
{
    wchar_t path[MAX_PATH * 2];
    const uint64_t hash = hashOf(current.data, current.size);
    std::swprintf(path, MAX_PATH * 2, L"%ls\\%ls-%ls-%016llx.bin", current.findingsDir, kind, current.target,
                  static_cast<unsigned long long>(hash));
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, current.data, static_cast<DWORD>(current.size), &written, nullptr);
        CloseHandle(file);
    }
    char line[MAX_PATH * 4];
    std::snprintf(line, sizeof(line), "FINDING %ls (%s): input of %llu bytes saved to %ls\n", kind, detail,
                  static_cast<unsigned long long>(current.size), path);
    writeReport(line);
}

[[noreturn]] void dieWith(const wchar_t* kind, const char* detail, UINT exitCode)
{
    // One report even when several threads fail at once.
    if (InterlockedExchange(&current.saving, 1) == 0)
        saveInput(kind, detail);
    TerminateProcess(GetCurrentProcess(), exitCode);
    for (;;)
        Sleep(INFINITE);
}

void describe(const EXCEPTION_RECORD* record, char* out, size_t size)
{
    std::snprintf(out, size, "exception %08lX at %p", static_cast<unsigned long>(record->ExceptionCode),
                  record->ExceptionAddress);
}

// First chance, for what an unhandled-exception filter may never see: a
// stack overflow (little stack is left) and the heap guards.
LONG CALLBACK firstChance(EXCEPTION_POINTERS* info)
{
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    if (code != fuzz::kGuardException && code != STATUS_STACK_OVERFLOW && code != 0xC0000374 /* heap */ &&
        code != STATUS_STACK_BUFFER_OVERRUN)
        return EXCEPTION_CONTINUE_SEARCH;
    char detail[96];
    describe(info->ExceptionRecord, detail, sizeof(detail));
    dieWith(code == fuzz::kGuardException ? L"heap" : L"crash", detail, 2);
}

LONG WINAPI lastChance(EXCEPTION_POINTERS* info)
{
    char detail[96];
    describe(info->ExceptionRecord, detail, sizeof(detail));
    dieWith(L"crash", detail, 2);
}

void onAbort(int)
{
    dieWith(L"crash", "abort", 2);
}

// The hang limit, checked four times a second.
void watchdog(DWORD hangMs)
{
    uint64_t seen = ~0ull;
    for (;;) {
        Sleep(250);
        const uint64_t serial = current.serial.load();
        if (!current.running.load() || serial != seen) {
            seen = serial;
            continue;
        }
        if (GetTickCount64() - current.startedAt.load() > hangMs)
            dieWith(L"hang", "over the hang limit", 3);
    }
}

std::wstring widen(const char* text)
{
    std::wstring out;
    while (*text)
        out += static_cast<wchar_t>(static_cast<unsigned char>(*text++));
    return out;
}

bool readFile(const std::wstring& path, std::string& out)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    out.clear();
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read)
        out.append(buffer, read);
    CloseHandle(file);
    return true;
}

std::vector<std::string> readCorpus(const std::wstring& dir)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> seeds;
    for (const std::wstring& name : names) {
        std::string bytes;
        if (readFile(dir + L"\\" + name, bytes))
            seeds.push_back(bytes);
    }
    return seeds;
}

int exceptions = 0;
ULONGLONG slowestMs = 0;

} // namespace

void fuzz::reportWrongResult(const char* what)
{
    ++exceptions;
    saveInput(L"wrong", what);
}

namespace {

void runOne(fuzz::FuzzTarget& target, const std::string& input)
{
    current.data = input.data();
    current.size = input.size();
    current.startedAt = GetTickCount64();
    ++current.serial;
    current.running = true;
    try {
        target.run(input);
    } catch (const std::exception& e) {
        ++exceptions;
        saveInput(L"exception", e.what());
    } catch (...) {
        ++exceptions;
        saveInput(L"exception", "not a std::exception");
    }
    current.running = false;
    const ULONGLONG took = GetTickCount64() - current.startedAt.load();
    if (took > slowestMs) {
        slowestMs = took;
        if (took >= 1000)
            std::fprintf(stderr, "slow input: %llu ms, %zu bytes\n", took, input.size());
    }
}

int usage()
{
    std::fprintf(stderr, "usage: vrelmfuzz --list | <target> [--seconds N] [--corpus DIR] [--findings DIR] "
                         "[--seed N] [--max-bytes N] [--hang-seconds N] [--replay FILE...]\n");
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (argc < 2)
        return usage();
    if (std::wcscmp(argv[1], L"--list") == 0) {
        for (const fuzz::TargetEntry& entry : fuzz::registeredTargets())
            std::printf("%s\n", entry.name);
        return 0;
    }
    const fuzz::TargetEntry* entry = nullptr;
    for (const fuzz::TargetEntry& candidate : fuzz::registeredTargets()) {
        if (widen(candidate.name) == argv[1])
            entry = &candidate;
    }
    if (!entry)
        return usage();

    double seconds = 10;
    std::wstring corpus = std::wstring(VRELM_FUZZ_CORPUS) + L"\\" + argv[1];
    std::wstring findings = L"fuzz-findings";
    uint64_t seed = GetTickCount64() ^ (static_cast<uint64_t>(GetCurrentProcessId()) << 32);
    size_t maxBytes = 256 * 1024;
    DWORD hangMs = 30000;
    std::vector<std::wstring> replay;
    for (int i = 2; i < argc; ++i) {
        const std::wstring option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == L"--seconds" && hasValue)
            seconds = _wtof(argv[++i]);
        else if (option == L"--corpus" && hasValue)
            corpus = argv[++i];
        else if (option == L"--findings" && hasValue)
            findings = argv[++i];
        else if (option == L"--seed" && hasValue)
            seed = _wcstoui64(argv[++i], nullptr, 10);
        else if (option == L"--max-bytes" && hasValue)
            maxBytes = static_cast<size_t>(_wcstoui64(argv[++i], nullptr, 10));
        else if (option == L"--hang-seconds" && hasValue)
            hangMs = static_cast<DWORD>(_wtof(argv[++i]) * 1000);
        else if (option == L"--replay")
            replay.assign(argv + i + 1, argv + argc), i = argc;
        else
            return usage();
    }

    CreateDirectoryW(findings.c_str(), nullptr);
    GetFullPathNameW(findings.c_str(), MAX_PATH, current.findingsDir, nullptr);
    std::wcsncpy(current.target, argv[1], 63);
    AddVectoredExceptionHandler(1, firstChance);
    SetUnhandledExceptionFilter(lastChance);
    std::signal(SIGABRT, onAbort);
    std::set_terminate([] { dieWith(L"crash", "std::terminate", 2); });
    std::thread(watchdog, hangMs).detach();

    std::unique_ptr<fuzz::FuzzTarget> target = entry->make();
    if (!target->setUp()) {
        std::fprintf(stderr, "fuzz %s: set-up failed\n", entry->name);
        return 1;
    }

    if (!replay.empty()) {
        for (const std::wstring& file : replay) {
            std::string input;
            if (!readFile(file, input)) {
                std::fprintf(stderr, "cannot read %ls\n", file.c_str());
                return 1;
            }
            runOne(*target, input);
        }
        std::printf("fuzz %s: replayed %zu inputs, %d exceptions\n", entry->name, replay.size(), exceptions);
        return exceptions ? 5 : 0;
    }

    std::vector<std::string> seeds = readCorpus(corpus);
    if (seeds.empty())
        seeds.push_back(std::string());
    fuzz::Mutator mutator(entry->shape, seed, maxBytes, target->dictionary());
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG deadline = start + static_cast<ULONGLONG>(seconds * 1000);
    uint64_t inputs = 0;
    for (const std::string& input : seeds) {
        runOne(*target, input);
        ++inputs;
    }
    const size_t liveAfterSeeds = fuzz::liveHeapBlocks();
    // Recent inputs, mutated again now and then so that mutations stack deeper.
    std::vector<std::string> recent;
    size_t recentNext = 0;
    ULONGLONG nextStatus = start + 60000;
    uint64_t pick = seed;
    while (GetTickCount64() < deadline) {
        pick = pick * 6364136223846793005ull + 1442695040888963407ull;
        const bool fromRecent = !recent.empty() && (pick >> 33) % 100 < 30;
        const std::string& base = fromRecent ? recent[(pick >> 40) % recent.size()] : seeds[(pick >> 40) % seeds.size()];
        std::string input = mutator.mutate(base, seeds);
        runOne(*target, input);
        ++inputs;
        if (recent.size() < 32)
            recent.push_back(std::move(input));
        else
            recent[recentNext++ % 32] = std::move(input);
        if (GetTickCount64() >= nextStatus) {
            nextStatus += 60000;
            std::fprintf(stderr, "fuzz %s: %llu inputs so far\n", entry->name, static_cast<unsigned long long>(inputs));
        }
    }
    const double elapsed = (GetTickCount64() - start) / 1000.0;
    std::printf("fuzz %s: %llu inputs in %.1f s, %.1f inputs/s, %d findings (slowest input %llu ms; heap blocks "
                "live: %zu after the seeds, %zu at the end)\n",
                entry->name, static_cast<unsigned long long>(inputs), elapsed, elapsed > 0 ? inputs / elapsed : 0.0,
                exceptions, static_cast<unsigned long long>(slowestMs), liveAfterSeeds, fuzz::liveHeapBlocks());
    std::fflush(stdout);
    return exceptions ? 5 : 0;
}
