// A ticket holding one device's data trees under the root "KRVXMLTree",
// brought in on demand by the first read that names a tree: from the
// device-data module by root name here, over LEDM in DeviceTicketLEDM. An
// XPath "/a:B/..." is read at "/KRVXMLTree/a:B/..."; a tree is named by its
// top element. A fetched tree is merged only when its top element is the
// tree asked for, so no read can pile up copies of a tree under another name.
#pragma once

#include "tickets/XMLTicket.h"

namespace MPrint {

class XMLTreeLibrary;

class DeviceTicket : public XMLTicket {
public:
    static constexpr wchar_t kRootName[] = L"KRVXMLTree";

    DeviceTicket() = default;
    virtual ~DeviceTicket();

    bool open(const std::wstring& host) override;
    bool close() override;
    bool getFirstValue(const std::vector<std::wstring>& xpaths, std::wstring& text, bool useCached) override;
    // The text at the XPath, bringing its tree in first when it is absent,
    // or afresh (the old copy removed) when useCached is false.
    bool getValue(const std::wstring& xpath, std::wstring& text, bool useCached) override;
    bool getChildCount(const std::wstring& xpath, DWORD& count) override;
    bool getText(const std::wstring& xpath, std::wstring& text) override;
    bool getNodeName(const std::wstring& xpath, std::wstring& name) override;
    bool appendElement(const std::wstring& xpath, const std::wstring& name) override;
    bool setText(const std::wstring& xpath, const std::wstring& text) override;
    bool removeNode(const std::wstring& xpath) override;
    // The argument is a tree's top element name, not a path.
    bool exists(const std::wstring& treeName) override;
    bool createDocument() override;

    // The first step of a path with two or more steps; otherwise the first
    // of the class's tree names found anywhere in the XPath.
    virtual bool getTreeName(const std::wstring& xpath, std::wstring& name);
    virtual const wchar_t* const* getTreeNames(DWORD& count) = 0;

    static std::wstring treePath(const std::wstring& xpath) { return L"/" + std::wstring(kRootName) + xpath; }

protected:
    // Brings the named tree in; true when it is now present.
    virtual bool bringIn(const std::wstring& treeName, const std::wstring& xpath);
    bool bringInFromLibrary(XMLTreeLibrary* library, const std::wstring& host, const std::wstring& treeName);

    std::wstring host_;
    XMLTreeLibrary* library_ = nullptr; // process-wide, not owned
};

} // namespace MPrint
