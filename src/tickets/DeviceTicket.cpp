#include "tickets/DeviceTicket.h"

#include "core/BString.h"
#include "tickets/XMLTreeLibrary.h"

using Microsoft::WRL::ComPtr;

namespace MPrint {

DeviceTicket::~DeviceTicket() { DeviceTicket::close(); }

bool DeviceTicket::open(const std::wstring& host)
{
    if (host.empty())
        return false;
    host_ = host;
    library_ = XMLTreeLibrary::instance();
    if (!initializeCom() || !library_ || !library_->initialize(host_.c_str()))
        return false;
    return createDocument();
}

bool DeviceTicket::close() { return true; }

bool DeviceTicket::getFirstValue(const std::vector<std::wstring>& xpaths, std::wstring& text, bool useCached)
{
    for (const std::wstring& xpath : xpaths)
        if (getValue(xpath, text, useCached))
            return true;
    return false;
}

bool DeviceTicket::getValue(const std::wstring& xpath, std::wstring& text, bool useCached)
{
    std::wstring name;
    if (xpath.empty() || !getTreeName(xpath, name))
        return false;
    bool present = exists(name);
    if (present && !useCached) {
        if (!removeByName(name))
            return false;
        present = false;
    }
    if (!present)
        present = bringIn(name, xpath);
    return present && getText(xpath, text);
}

bool DeviceTicket::bringIn(const std::wstring& treeName, const std::wstring&)
{
    return bringInFromLibrary(library_, host_, treeName);
}

bool DeviceTicket::bringInFromLibrary(XMLTreeLibrary* library, const std::wstring& host, const std::wstring& treeName)
{
    if (!library)
        return false;
    char* tree = nullptr;
    ULONGLONG second = 0;
    const bool present = library->getTreeFromRootNodeName(host.c_str(), treeName.c_str(), &tree, &second, 1) &&
                         mergeTree(tree, treeName);
    library->releaseTree(tree);
    return present;
}

bool DeviceTicket::getChildCount(const std::wstring& xpath, DWORD& count)
{
    std::wstring scratch;
    return document() && !xpath.empty() && getValue(xpath, scratch, true) && countChildren(treePath(xpath), count);
}

bool DeviceTicket::getText(const std::wstring& xpath, std::wstring& text)
{
    return !xpath.empty() && XMLTicket::getText(treePath(xpath), text);
}

bool DeviceTicket::getNodeName(const std::wstring& xpath, std::wstring& name)
{
    return !xpath.empty() && XMLTicket::getNodeName(treePath(xpath), name);
}

bool DeviceTicket::appendElement(const std::wstring& xpath, const std::wstring& name)
{
    return !name.empty() && XMLTicket::appendElement(treePath(xpath), name);
}

bool DeviceTicket::setText(const std::wstring& xpath, const std::wstring& text)
{
    return !text.empty() && XMLTicket::setText(treePath(xpath), text);
}

bool DeviceTicket::removeNode(const std::wstring& xpath)
{
    return !xpath.empty() && XMLTicket::removeNode(treePath(xpath));
}

bool DeviceTicket::exists(const std::wstring& treeName)
{
    return !treeName.empty() && XMLTicket::exists(treePath(L"/" + treeName));
}

bool DeviceTicket::createDocument()
{
    if (!XMLTicket::createDocument())
        return false;
    BString name(kRootName);
    ComPtr<IXMLDOMElement> element;
    ComPtr<IXMLDOMNode> appended;
    if (!name || document()->createElement(name.get(), element.GetAddressOf()) != S_OK || !element ||
        document()->appendChild(element.Get(), appended.GetAddressOf()) != S_OK)
        return false;
    ComPtr<IXMLDOMElement> root;
    return document()->get_documentElement(root.GetAddressOf()) == S_OK && setRoot(root.Get());
}

bool DeviceTicket::getTreeName(const std::wstring& xpath, std::wstring& name)
{
    if (xpath.empty())
        return false;
    const size_t first = xpath.find(L'/');
    const size_t second = first == std::wstring::npos ? first : xpath.find(L'/', first + 1);
    if (second != std::wstring::npos) {
        name = xpath.substr(first + 1, second - first - 1);
        return true;
    }
    DWORD count = 0;
    const wchar_t* const* names = getTreeNames(count);
    for (DWORD i = 0; names && i < count; ++i)
        if (xpath.find(names[i]) != std::wstring::npos) {
            name = names[i];
            return true;
        }
    return false;
}

} // namespace MPrint
