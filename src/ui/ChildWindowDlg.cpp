#include "ui/ChildWindowDlg.h"

namespace {

struct Search {
    int id;
    HWND found;
};

BOOL CALLBACK matchId(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    if (GetDlgCtrlID(window) != search->id)
        return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

HWND ChildWindowDlg::findDescendant(int id) const
{
    Search search = {id, nullptr};
    if (getWindow())
        EnumChildWindows(getWindow(), matchId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
