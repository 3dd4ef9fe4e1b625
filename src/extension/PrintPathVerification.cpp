#include "extension/PrintPathVerification.h"

#include "destination/TargetHistoryList.h"
#include "extension/LumoraPrintingExtension.h"

namespace MPrint {

PrintPath* findPrintPathInHistory(const wchar_t* destination, const wchar_t* profile)
{
    LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
    LumoraSettings* settings = extension ? extension->getSettings() : nullptr;
    if (!settings || !destination)
        return nullptr;
    if (profile && *profile)
        settings->selectProfile(profile);
    TargetHistoryList history(settings->getTargetHistoryKey());
    history.load();
    for (auto entry = history.begin(); entry != history.end(); ++entry) {
        if (history.getDisplayString(entry) != destination)
            continue;
        PrintPath* path = entry->get();
        return history.detach(path) ? path : nullptr;
    }
    return nullptr;
}

} // namespace MPrint
