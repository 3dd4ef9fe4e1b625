// The target history: loading 10, 100 and 1000 stored entries (on a thread
// with COM and on one without), and saving, against the bare registry calls
// and one bare SAX parse per entry.
#include "BareSax.h"
#include "BenchHarness.h"
#include "SamplePaths.h"

#include "core/StringConversion.h"
#include "destination/TargetHistoryList.h"
#include "support/PrivateCurrentUser.h"

#include <memory>
#include <thread>
#include <vector>

namespace {

const wchar_t kHistoryRoot[] = L"Software\\VrelmBench\\History";

// Holds `count` entries written by the module's own save.
RegistryKey makeStoredHistory(int count)
{
    RegistryKey key(HKEY_CURRENT_USER, std::wstring(kHistoryRoot) + std::to_wstring(count), RegistryKey::kAllAccess,
                    true);
    TargetHistoryList list(key);
    list.setLimit(count);
    for (int i = 0; i < count; ++i)
        list.add(bench::samplePrintPath(i).release());
    list.save();
    return key;
}

bool moduleLoad(RegistryKey& key, size_t expected)
{
    TargetHistoryList list(key);
    return list.load() && list.size() == expected;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const bench::Options options = bench::parseOptions(argc, argv);
    testenv::PrivateCurrentUser privateUser;
    if (!privateUser.isActive())
        return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 0;
    {
        bench::Table table(options);
        std::vector<wchar_t> buffer(64 * 1024);
        std::string utf8;
        const std::vector<int> sizes = options.tiny ? std::vector<int>{10} : std::vector<int>{10, 100, 1000};
        for (int count : sizes) {
            RegistryKey key = makeStoredHistory(count);
            const std::wstring name = L"target history load (" + std::to_wstring(count) + L" entries)";
            {
                bench::BareSax sax;
                table.run(name + L" vs bare reads + SAX parse per entry",
                          [&] { return moduleLoad(key, static_cast<size_t>(count)); },
                          [&] { return bench::bareHistoryLoad(key.getHandle(), sax, buffer, utf8); });
            }
            // A thread that never initialised COM: the baseline sets up the
            // apartment and its reader once per load.
            std::thread([&] {
                table.run(name + L", thread without COM",
                          [&] { return moduleLoad(key, static_cast<size_t>(count)); },
                          [&] {
                              if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
                                  return false;
                              bool ok = false;
                              {
                                  bench::BareSax sax;
                                  ok = bench::bareHistoryLoad(key.getHandle(), sax, buffer, utf8);
                              }
                              CoUninitialize();
                              return ok;
                          });
            }).join();
        }

        // Saving ten entries: the module writes each entry's document, age
        // and the counts; the baseline writes the same values ready-made.
        RegistryKey saveKey(HKEY_CURRENT_USER, std::wstring(kHistoryRoot) + L"Save", RegistryKey::kAllAccess, true);
        TargetHistoryList saved(saveKey);
        std::vector<std::wstring> documents;
        for (int i = 0; i < 10; ++i) {
            saved.add(bench::samplePrintPath(i).release());
            const std::string xml = bench::samplePrintPathXml(i);
            documents.emplace_back(xml.begin(), xml.end());
        }
        RegistryKey bareKey(HKEY_CURRENT_USER, std::wstring(kHistoryRoot) + L"BareSave", RegistryKey::kAllAccess, true);
        table.run(L"history save (10 entries) vs bare RegSetValueEx", [&] { return saved.save(); },
                  [&] {
                      HKEY key = bareKey.getHandle();
                      bool ok = true;
                      for (DWORD n = 0; n < documents.size(); ++n) {
                          const std::wstring& doc = documents[n];
                          ok &= RegSetValueExW(key, (L"Target" + std::to_wstring(n)).c_str(), 0, REG_SZ,
                                               reinterpret_cast<const BYTE*>(doc.c_str()),
                                               static_cast<DWORD>((doc.size() + 1) * sizeof(wchar_t))) ==
                                ERROR_SUCCESS;
                          ok &= RegSetValueExW(key, (L"TargetAge" + std::to_wstring(n)).c_str(), 0, REG_DWORD,
                                               reinterpret_cast<const BYTE*>(&n), sizeof(n)) == ERROR_SUCCESS;
                      }
                      const DWORD length = static_cast<DWORD>(documents.size());
                      ok &= RegSetValueExW(key, L"HistoryLength", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&length),
                                           sizeof(length)) == ERROR_SUCCESS;
                      ok &= RegSetValueExW(key, L"HistoryLimit", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&length),
                                           sizeof(length)) == ERROR_SUCCESS;
                      return ok;
                  });
        result = table.exitCode();
    }
    CoUninitialize();
    return result;
}
