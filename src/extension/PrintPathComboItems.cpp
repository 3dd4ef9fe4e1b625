#include "extension/PrintPathComboItems.h"

#include "destination/PrintPathAttr.h"

namespace MPrint {

namespace {

PrintPath* itemPath(HWND combo, int index)
{
    const LRESULT data = SendMessageW(combo, CB_GETITEMDATA, index, 0);
    return data == CB_ERR ? nullptr : reinterpret_cast<PrintPath*>(data);
}

void erasePath(PrintPathList& list, const PrintPath* path)
{
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->get() == path) {
            list.erase(it);
            return;
        }
    }
}

void removeItem(PrintPathList& list, HWND combo, int index, const PrintPath* path)
{
    SendMessageW(combo, CB_DELETESTRING, index, 0);
    if (path)
        erasePath(list, path);
}

// The first index below the limit whose item is the path; CB_ERR when none.
int findItem(HWND combo, const PrintPath* path, int limit)
{
    for (int index = 0; index < limit; ++index)
        if (itemPath(combo, index) == path)
            return index;
    return CB_ERR;
}

int findExact(HWND combo, int after, const std::wstring& text)
{
    return static_cast<int>(SendMessageW(combo, CB_FINDSTRINGEXACT, after, reinterpret_cast<LPARAM>(text.c_str())));
}

} // namespace

void removeComboItemAt(PrintPathList& list, HWND combo, int index)
{
    if (PrintPath* path = itemPath(combo, index))
        removeItem(list, combo, index, path);
}

void removeComboItemForPath(PrintPathList& list, HWND combo, const PrintPath* path)
{
    const int index = findItem(combo, path, static_cast<int>(list.size()));
    if (index != CB_ERR)
        removeItem(list, combo, index, path);
}

void removeComboItemsByText(PrintPathList& list, HWND combo, const std::wstring& text)
{
    // An item without a path goes too: left in the box it would be found forever.
    for (int index = findExact(combo, -1, text); index != CB_ERR; index = findExact(combo, -1, text))
        removeItem(list, combo, index, itemPath(combo, index));
}

void removeDuplicateDisplayStrings(PrintPathList& list, HWND combo, const PrintPath* path)
{
    if (!path)
        return;
    const std::wstring text = path->getStringAttribute(PrintPathAttr::DisplayString);
    if (text.empty())
        return;
    // The search wraps around; it is over once it comes back to the path's own item.
    int own = CB_ERR;
    for (int after = -1;;) {
        const int index = findExact(combo, after, text);
        if (index == CB_ERR || index == own)
            return;
        if (itemPath(combo, index) == path) {
            own = index;
            after = index;
        } else {
            removeItem(list, combo, index, itemPath(combo, index));
            if (own > index)
                --own;
            after = index - 1;
        }
    }
}

void removeNewlyDiscoveredItems(PrintPathList& list, HWND combo)
{
    for (int index = 0; index < static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));) {
        PrintPath* path = itemPath(combo, index);
        if (path && path->getNumericAttribute(PrintPathAttr::NewlyDiscovered) == 1)
            removeItem(list, combo, index, path);
        else
            ++index;
    }
}

void removeAllComboItems(PrintPathList& list, HWND combo)
{
    while (!list.empty()) {
        // Searched in the whole box: items without a path may put the path's
        // own past the list's size, and left there it would point at the
        // deleted path.
        const int index = findItem(combo, list.front().get(), static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0)));
        if (index != CB_ERR)
            SendMessageW(combo, CB_DELETESTRING, index, 0);
        list.pop_front();
    }
}

} // namespace MPrint
