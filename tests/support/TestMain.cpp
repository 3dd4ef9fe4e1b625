// Every test program's main: GoogleTest, and a watch on the shared machine
// state the program itself opens (support/SharedState.h). A program that
// touched a state its source does not declare fails at its end, naming the
// line to add, even when no other program happened to run beside it.
#include "core/AsciiCase.h"
#include "core/SettingsKeys.h"
#include "support/ScopedImportPatch.h"
#include "support/SharedState.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Watched {
    const char* lock;
    HKEY root;           // null: a file name, not a key
    const wchar_t* path; // the key, or a key below it; the file name
};

const Watched kWatched[] = {
    {"policy_settings", HKEY_LOCAL_MACHINE, settingskeys::kSettings},
    {"cluster_node", HKEY_LOCAL_MACHINE, L"Cluster"},
    {"shared_io", HKEY_LOCAL_MACHINE, settingskeys::kCommonIo},
    {"qzkrvmon_pipe", nullptr, L"\\\\.\\pipe\\QZKRVMon"},
};
constexpr size_t kWatchedCount = sizeof(kWatched) / sizeof(kWatched[0]);

std::atomic<bool> g_touched[kWatchedCount];

bool isPathOrBelow(const wchar_t* name, const wchar_t* path)
{
    if (!name || !startsWithIgnoringAsciiCase(name, path))
        return false;
    const wchar_t next = name[wcslen(path)];
    return next == L'\0' || next == L'\\';
}

void noteKey(HKEY root, const wchar_t* name)
{
    for (size_t i = 0; i < kWatchedCount; ++i) {
        if (kWatched[i].root == root && isPathOrBelow(name, kWatched[i].path))
            g_touched[i] = true;
    }
}

void noteFile(const wchar_t* name)
{
    for (size_t i = 0; i < kWatchedCount; ++i) {
        if (!kWatched[i].root && name && lstrcmpiW(name, kWatched[i].path) == 0)
            g_touched[i] = true;
    }
}

using OpenKeyCall = LSTATUS(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
using CreateKeyCall = LSTATUS(WINAPI*)(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                                   LPDWORD);
using CreateFileCall = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
// The imports' own targets, as the patches found them.
OpenKeyCall g_openKey = nullptr;
CreateKeyCall g_createKey = nullptr;
CreateFileCall g_createFile = nullptr;

LSTATUS WINAPI watchedOpenKey(HKEY root, LPCWSTR name, DWORD options, REGSAM access, PHKEY key)
{
    noteKey(root, name);
    return g_openKey(root, name, options, access, key);
}

LSTATUS WINAPI watchedCreateKey(HKEY root, LPCWSTR name, DWORD reserved, LPWSTR kind, DWORD options,
                                REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition)
{
    noteKey(root, name);
    return g_createKey(root, name, reserved, kind, options, access, security, key, disposition);
}

HANDLE WINAPI watchedCreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile)
{
    noteFile(name);
    return g_createFile(name, access, share, security, disposition, flags, templateFile);
}

// The watch lasts the whole program; its check is the last thing it does.
class SharedStateWatch : public testing::Environment {
public:
    SharedStateWatch()
    {
        watch("advapi32.dll", "RegOpenKeyExW", &watchedOpenKey, g_openKey);
        watch("advapi32.dll", "RegCreateKeyExW", &watchedCreateKey, g_createKey);
        watch("kernel32.dll", "CreateFileW", &watchedCreateFile, g_createFile);
    }

    void TearDown() override
    {
        for (size_t i = 0; i < kWatchedCount; ++i) {
            if (g_touched[i] && !testenv::declaresSharedState(kWatched[i].lock))
                ADD_FAILURE() << "this test program opened the shared machine state \"" << kWatched[i].lock
                              << "\" without declaring it: add VRELM_TEST_SHARES(" << kWatched[i].lock
                              << ") to its source (support/SharedState.h)";
        }
    }

private:
    template <typename Call>
    void watch(const char* dll, const char* function, Call replacement, Call& original)
    {
        auto patch = std::make_unique<testenv::ScopedImportPatch>(GetModuleHandleW(nullptr), dll, function,
                                                                  reinterpret_cast<void*>(replacement));
        if (!patch->active())
            return;
        original = reinterpret_cast<Call>(patch->original());
        patches_.push_back(std::move(patch));
    }

    std::vector<std::unique_ptr<testenv::ScopedImportPatch>> patches_;
};

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new SharedStateWatch);
    return RUN_ALL_TESTS();
}
