// Walks of keys that other processes change while they are read: Plug and
// Play device keys come and go beside the one a lookup wants.
#include "core/RegistrySubKeys.h"

#include "core/ScopedHandle.h"
#include "support/ScratchKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

using MPrint::listSubKeyNames;

namespace {

bool createSubKey(HKEY parent, const std::wstring& name)
{
    ScopedRegKey key;
    return RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, KEY_READ, nullptr, key.receive(), nullptr) ==
           ERROR_SUCCESS;
}

} // namespace

TEST(RegistrySubKeys, KeysPresentThroughoutAreListedWhileSiblingsComeAndGo)
{
    testenv::ScratchKey scratch(L"RegistrySubKeys");
    // The stable keys sort after the churning ones, so every change shifts
    // their indexes during a walk; the last of them is the one a walk bounded
    // by the count it first read loses when a sibling is added.
    const std::vector<std::wstring> stable = {L"M1", L"M2", L"M3", L"Z9"};
    for (const auto& name : stable)
        ASSERT_TRUE(createSubKey(scratch.handle(), name));

    std::atomic<bool> done{false};
    std::thread churn([&] {
        ScopedRegKey parent;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, scratch.path().c_str(), 0, KEY_ALL_ACCESS, parent.receive()) !=
            ERROR_SUCCESS)
            return;
        for (int round = 0; !done; ++round) {
            const std::wstring name = L"A" + std::to_wstring(round % 7);
            if (round % 2 == 0)
                createSubKey(parent.get(), name);
            else
                RegDeleteKeyW(parent.get(), (L"A" + std::to_wstring((round - 1) % 7)).c_str());
        }
    });
    int incomplete = 0;
    for (int walk = 0; walk < 400; ++walk) {
        const std::vector<std::wstring> names = listSubKeyNames(scratch.handle());
        for (const auto& name : stable) {
            if (std::find(names.begin(), names.end(), name) == names.end())
                ++incomplete;
        }
    }
    done = true;
    churn.join();
    EXPECT_EQ(0, incomplete);
}

TEST(RegistrySubKeys, QuietKeyIsListedOnceInItsOrderAndANullKeyHasNone)
{
    testenv::ScratchKey scratch(L"RegistrySubKeysQuiet");
    for (const wchar_t* name : {L"b", L"a", L"c"})
        ASSERT_TRUE(createSubKey(scratch.handle(), name));
    std::vector<std::wstring> names = listSubKeyNames(scratch.handle());
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b", L"c"}), names);
    EXPECT_TRUE(listSubKeyNames(nullptr).empty());
}
