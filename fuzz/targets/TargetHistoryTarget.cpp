// The target history's registry values, which the user can write: parts
// (see InputParts.h) for "HistoryLength", "HistoryLimit", then "Target<n>"
// and "TargetAge<n>" pairs. Loaded, read and saved back.
#include "FuzzTarget.h"
#include "InputParts.h"

#include "destination/TargetHistoryList.h"
#include "support/PrivateCurrentUser.h"

namespace {

constexpr wchar_t kKey[] = L"Software\\VrelmFuzz\\History";

class TargetHistoryTarget : public fuzz::FuzzTarget {
public:
    bool setUp() override { return user_.isActive(); }

    void run(const std::string& input) override
    {
        {
            RegistryKey key(HKEY_CURRENT_USER, kKey, RegistryKey::kAllAccess, true);
            const std::vector<std::string> parts = fuzz::splitParts(input);
            for (size_t i = 0; i < parts.size(); ++i) {
                std::wstring name;
                if (i == 0)
                    name = L"HistoryLength";
                else if (i == 1)
                    name = L"HistoryLimit";
                else
                    name = ((i - 2) % 2 ? L"TargetAge" : L"Target") + std::to_wstring((i - 2) / 2);
                fuzz::writeValue(key.getHandle(), name, parts[i]);
            }
            TargetHistoryList list(key);
            list.load();
            for (auto it = list.begin(); it != list.end(); ++it)
                list.getDisplayString(it);
            list.setLimit(list.getLimit());
            list.save();
            list.load();
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    }

    std::vector<std::string> dictionary() const override
    {
        return {"\n--\nS", "\n--\ns", "\n--\nD", "\n--\nd", "<print-path>", "<attribute>", "<value-string>",
                "<value-numeric>", "<name>", "DisplayString", "printer=10.0.0.1"};
    }

private:
    testenv::PrivateCurrentUser user_;
};

} // namespace

FUZZ_TARGET(TargetHistoryTarget, "history", fuzz::InputShape::Xml);
