#include "ui/PrinterGroupTreeViewNode.h"

#include "destination/HistoryProfile.h"
#include "destination/TargetHistoryList.h"
#include "ui/UiText.h"

namespace MPrint {

const wchar_t* PrinterGroupTreeViewNode::getToolTip()
{
    auto* profile = reinterpret_cast<HistoryProfile*>(getData());
    TargetHistoryList* history = profile ? profile->getHistory() : nullptr;
    if (history && !TreeViewNode::getToolTip()) {
        std::wstring tip = uitext::load(extension_, kHeadingString);
        tip += L" (" + std::to_wstring(history->size()) + L")\n";
        for (auto entry = history->begin(); entry != history->end(); ++entry)
            tip += history->getDisplayString(entry) + L"\n";
        setToolTip(tip);
    }
    return TreeViewNode::getToolTip();
}

} // namespace MPrint
