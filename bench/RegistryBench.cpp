// Typed registry reads against one RegQueryValueEx into a buffer that fits.
#include "BenchHarness.h"
#include "SamplePaths.h"

#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "extension/KRVProperties.h"
#include "support/PrivateCurrentUser.h"

#include <vector>

int wmain(int argc, wchar_t** argv)
{
    const bench::Options options = bench::parseOptions(argc, argv);
    testenv::PrivateCurrentUser privateUser;
    if (!privateUser.isActive())
        return 2;
    bench::Table table(options);
    RegistryKey key(HKEY_CURRENT_USER, L"Software\\VrelmBench\\Registry", RegistryKey::kAllAccess, true);
    const std::string xml = bench::samplePrintPathXml();
    const struct {
        std::wstring label;
        const wchar_t* name;
        std::wstring text;
    } values[] = {
        {L"RegistryKey::queryString (30 chars)", L"Short", L"\\\\print-east\\Floor3Colour-0042"},
        {L"RegistryKey::queryString (" + bench::kilobytes(xml.size()) + L" document)", L"Long", std::wstring(xml.begin(), xml.end())},
    };
    std::vector<wchar_t> buffer(64 * 1024);
    for (const auto& value : values) {
        key.setString(value.name, value.text);
        std::wstring read;
        table.run(value.label + L" vs RegQueryValueEx",
                  [&] { return key.queryString(value.name, read) && read.size() == value.text.size(); },
                  [&] {
                      DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
                      DWORD type = 0;
                      return RegQueryValueExW(key.getHandle(), value.name, nullptr, &type,
                                              reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS;
                  });
    }
    DWORD number = 7;
    key.setDword(L"Number", number);
    table.run(L"RegistryKey::queryDword vs RegQueryValueEx", [&] { return key.queryDword(L"Number", &number); },
              [&] {
                  DWORD size = sizeof(number);
                  DWORD type = 0;
                  return RegQueryValueExW(key.getHandle(), L"Number", nullptr, &type,
                                          reinterpret_cast<BYTE*>(&number), &size) == ERROR_SUCCESS;
              });

    // The per-process property store against the one value call on its key.
    RegistryKey store(HKEY_CURRENT_USER, settingskeys::kKrvProperties, RegistryKey::kAllAccess, true, true);
    std::uint64_t property = 1;
    table.run(L"setProcessProperty vs RegSetValueEx", [&] { return setProcessProperty(L"BenchProperty", ++property); },
              [&] {
                  return RegSetValueExW(store.getHandle(), L"BenchBare", 0, REG_QWORD,
                                        reinterpret_cast<const BYTE*>(&property), sizeof(property)) == ERROR_SUCCESS;
              });
    table.run(L"getProcessProperty vs RegQueryValueEx", [&] { return getProcessProperty(L"BenchProperty") != 0; },
              [&] {
                  DWORD size = sizeof(property);
                  return RegQueryValueExW(store.getHandle(), L"BenchBare", nullptr, nullptr,
                                          reinterpret_cast<BYTE*>(&property), &size) == ERROR_SUCCESS;
              });
    deleteProcessProperty(L"BenchProperty");
    return table.exitCode();
}
