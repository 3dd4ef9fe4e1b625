#include "bidi/OIDHelper.h"

#include "tickets/DeviceTicket.h"

namespace MPrint {

bool OIDHelper::hasValue(const std::wstring& path)
{
    std::wstring text;
    return ticket_ && ticket_->getValue(path, text, true);
}

bool OIDHelper::removeNodes(const std::wstring& path)
{
    DWORD count = 0;
    if (!ticket_ || !ticket_->getChildCount(path, count))
        return false;
    for (DWORD i = 0; i < count; ++i)
        ticket_->removeNode(path);
    return true;
}

bool OIDHelper::ensureSubtree()
{
    std::wstring text;
    return ticket_->getText(L"/PMLTree", text) || ticket_->appendElement(L"", L"PMLTree");
}

bool OIDHelper::writeRecord(const wchar_t* element, size_t index,
                            std::initializer_list<std::pair<const wchar_t*, std::wstring>> children)
{
    if (!ticket_->appendElement(L"/PMLTree", element))
        return false;
    const std::wstring base = L"/PMLTree/" + std::wstring(element) + L"[" + std::to_wstring(index) + L"]";
    for (const auto& [name, text] : children) {
        ticket_->appendElement(base, name);
        if (!ticket_->setText(base + L"/" + name, text))
            return false;
    }
    return true;
}

} // namespace MPrint
