#include "core/UserMessageBox.h"

#include <atomic>

namespace {

std::atomic<RightToLeftInterfaceQuery> rightToLeftQuery{nullptr};

} // namespace

void setRightToLeftInterfaceQuery(RightToLeftInterfaceQuery query)
{
    rightToLeftQuery = query;
}

int showMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    const RightToLeftInterfaceQuery rightToLeft = rightToLeftQuery;
    if (rightToLeft && rightToLeft())
        flags |= MB_RIGHT | MB_RTLREADING;
    return MessageBoxW(owner, text, caption, flags);
}
