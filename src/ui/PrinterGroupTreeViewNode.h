// A profile's node (data: its HistoryProfile). Its tool tip lists the
// profile's printers; it is built on the first request after it was
// cleared, so an empty tool tip set after a change rebuilds it.
#pragma once

#include "ui/TreeViewNode.h"

class LumoraPrintingExtension;

namespace MPrint {

class PrinterGroupTreeViewNode : public TreeViewNode {
public:
    static constexpr UINT kHeadingString = 65;

    PrinterGroupTreeViewNode(LumoraPrintingExtension* extension, const std::wstring& text, UINT kind, LPARAM profile)
        : TreeViewNode(text, kind, profile), extension_(extension)
    {
    }

    const wchar_t* getToolTip() override;

private:
    LumoraPrintingExtension* extension_;
};

} // namespace MPrint
