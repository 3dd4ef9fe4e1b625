#include "bidi/XMLRegistryCache.h"

#include "core/BString.h"
#include "core/COMWrapper.h"
#include "core/ComGuids.h"
#include "core/ComVariant.h"
#include "core/HexDigit.h"
#include "tickets/XMLTicket.h"

#include <wrl/client.h>

#include <cwchar>

using Microsoft::WRL::ComPtr;

namespace MPrint {

namespace {

bool equalsIgnoringCase(const std::wstring& text, const wchar_t* expected)
{
    return _wcsicmp(text.c_str(), expected) == 0;
}

// A character that is no digit counts as 0.
int hexValue(wchar_t c)
{
    const int value = hexDigitValue(c);
    return value < 0 ? 0 : value;
}

bool stringAttribute(IXMLDOMElement* element, const wchar_t* name, std::wstring& value)
{
    BString attribute(name);
    ComVariant result;
    if (!attribute || element->getAttribute(attribute.get(), result.receive()) != S_OK ||
        result.get().vt != VT_BSTR || !result.get().bstrVal)
        return false;
    value.assign(result.get().bstrVal, SysStringLen(result.get().bstrVal));
    return true;
}

// The records of every usable "/Objects/Object" of the file.
void readObjects(const wchar_t* xmlPath, std::vector<std::string>& records)
{
    ComPtr<IXMLDOMDocument> document;
    if (FAILED(CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IXMLDOMDocument),
                                reinterpret_cast<void**>(document.GetAddressOf()))) ||
        !document)
        return;
    // The file may come from elsewhere: nothing external is fetched.
    document->put_validateOnParse(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    document->put_async(VARIANT_FALSE);
    ComVariant source;
    VARIANT* path = source.receive();
    path->vt = VT_BSTR;
    path->bstrVal = SysAllocString(xmlPath);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (!path->bstrVal || document->load(*path, &loaded) != S_OK || loaded != VARIANT_TRUE)
        return;
    BString query(L"/Objects/Object");
    ComPtr<IXMLDOMNodeList> nodes;
    long count = 0;
    if (!query || document->selectNodes(query.get(), nodes.GetAddressOf()) != S_OK || !nodes ||
        nodes->get_length(&count) != S_OK)
        return;
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> node;
        ComPtr<IXMLDOMElement> element;
        if (nodes->get_item(i, node.GetAddressOf()) != S_OK || !node ||
            FAILED(node.As(&element)))
            continue;
        std::wstring type, name, text;
        if (!stringAttribute(element.Get(), L"type", type) || !stringAttribute(element.Get(), L"name", name))
            continue;
        BString value;
        if (node->get_text(value.receive()) == S_OK && value)
            text = value.str();
        std::string record;
        if (XMLRegistryCache::encodeObject(name, type, text, record))
            records.push_back(std::move(record));
    }
}

} // namespace

XMLRegistryCache::~XMLRegistryCache() = default;

bool XMLRegistryCache::encodeObject(const std::wstring& name, const std::wstring& type, const std::wstring& text,
                                    std::string& record)
{
    // restore refuses a name the registry cannot hold.
    if (name.size() >= kMaxNameUnits)
        return false;
    std::vector<BYTE> data;
    DWORD kind = 0;
    if (equalsIgnoringCase(type, L"REG_SZ")) {
        kind = REG_SZ;
        if (!text.empty()) {
            const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
            data.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
        }
    } else if (equalsIgnoringCase(type, L"REG_DWORD")) {
        kind = REG_DWORD;
        const DWORD number = static_cast<DWORD>(wcstol(text.c_str(), nullptr, 10));
        const BYTE* bytes = reinterpret_cast<const BYTE*>(&number);
        data.assign(bytes, bytes + sizeof(number));
    } else if (equalsIgnoringCase(type, L"REG_BINARY")) {
        kind = REG_BINARY;
        std::wstring digits;
        for (wchar_t c : text)
            if (c != L' ')
                digits.push_back(c);
        for (size_t i = 0; i + 1 < digits.size(); i += 2)
            data.push_back(static_cast<BYTE>(hexValue(digits[i]) << 4 | hexValue(digits[i + 1])));
    } else {
        return false;
    }
    if (data.size() > 0xFFFFFFFFu)
        return false;
    record.clear();
    appendRecord(record, name.c_str(), static_cast<DWORD>(name.size() + 1), kind, data.data(),
                 static_cast<DWORD>(data.size()));
    return true;
}

bool XMLRegistryCache::convertToCacheFile(const wchar_t* xmlPath, const wchar_t* printerName,
                                          std::wstring& outPath)
{
    if (!xmlPath || !printerName)
        return false;
    outPath = cachePath(makeCacheName(printerName));
    std::vector<std::string> records;
    COMWrapper* com = getThreadCOMWrapper(__FILE__, __LINE__);
    if (com) {
        const HRESULT started = com->initialize();
        if (SUCCEEDED(started) || started == RPC_E_CHANGED_MODE)
            readObjects(xmlPath, records);
        com->uninitialize();
    }
    return writeFile(outPath, records, true);
}

} // namespace MPrint
