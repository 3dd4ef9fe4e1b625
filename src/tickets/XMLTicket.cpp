#include "tickets/XMLTicket.h"

#include "core/BString.h"
#include "core/COMWrapper.h"
#include "core/ComVariant.h"
#include "core/GlobalLockGuard.h"
#include "core/StringConversion.h"
#include "core/XmlEncoding.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <shlwapi.h>

using Microsoft::WRL::ComPtr;

namespace MPrint {

const CLSID kDomDocumentClass = {0xf6d90f11, 0x9c73, 0x11d3, {0xb3, 0x2e, 0x00, 0xc0, 0x4f, 0x99, 0x0b, 0xb4}};

namespace {

std::wstring bstrText(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

} // namespace

XMLTicket::XMLTicket() = default;

XMLTicket::~XMLTicket() { XMLTicket::close(); }

bool XMLTicket::open(const std::wstring&) { return false; }

bool XMLTicket::initializeCom()
{
    COMWrapper* com = getThreadCOMWrapper(__FILE__, __LINE__);
    if (!com)
        return false;
    const DWORD thread = GetCurrentThreadId();
    if (comInits_ > 0 && comThread_ != thread)
        return false;
    comResult_ = com->initialize();
    ++comInits_;
    comThread_ = thread;
    return SUCCEEDED(comResult_) || comResult_ == RPC_E_CHANGED_MODE;
}

bool XMLTicket::initialize() { return initializeCom() && createDocument(); }

bool XMLTicket::close()
{
    root_.Reset();
    document_.Reset();
    // Only this ticket's own initialisations, and only on their thread: a
    // second close (the destructor after an explicit one) undoes nothing.
    // The wrapper is asked for on each round: the round that empties its
    // record ends it.
    if (comInits_ > 0 && comThread_ == GetCurrentThreadId()) {
        while (comInits_ > 0) {
            COMWrapper* com = getThreadCOMWrapper(__FILE__, __LINE__);
            if (!com || !com->uninitialize())
                break;
            --comInits_;
        }
    }
    comInits_ = 0;
    return true;
}

bool XMLTicket::newDocument(ComPtr<IXMLDOMDocument>& document)
{
    document.Reset();
    if (FAILED(CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IXMLDOMDocument),
                                reinterpret_cast<void**>(document.GetAddressOf()))) ||
        !document)
        return false;
    // Device and file documents are untrusted: nothing external is fetched.
    // The selection settings stay as they are.
    document->put_resolveExternals(VARIANT_FALSE);
    document->put_async(VARIANT_FALSE);
    return true;
}

bool XMLTicket::createDocument()
{
    root_.Reset();
    return newDocument(document_);
}

bool XMLTicket::setRoot(IXMLDOMElement* root)
{
    root_ = root;
    return root_ != nullptr;
}

bool XMLTicket::selectOnRoot(const std::wstring& xpath, ComPtr<IXMLDOMNode>& node)
{
    node.Reset();
    if (!document_ || !root_ || xpath.empty())
        return false;
    BString path(xpath);
    return path && root_->selectSingleNode(path.get(), node.GetAddressOf()) == S_OK && node;
}

bool XMLTicket::getText(const std::wstring& xpath, std::wstring& text)
{
    ComPtr<IXMLDOMNode> node;
    if (!selectOnRoot(xpath, node))
        return false;
    BString value;
    if (node->get_text(value.receive()) != S_OK || !value)
        return false;
    text = value.str();
    return true;
}

bool XMLTicket::getNodeName(const std::wstring& xpath, std::wstring& name)
{
    ComPtr<IXMLDOMNode> node;
    if (!selectOnRoot(xpath, node))
        return false;
    BString value;
    if (node->get_nodeName(value.receive()) != S_OK || !value)
        return false;
    name = value.str();
    return true;
}

bool XMLTicket::countChildren(const std::wstring& xpath, DWORD& count)
{
    ComPtr<IXMLDOMNode> node;
    if (!selectOnRoot(xpath, node))
        return false;
    ComPtr<IXMLDOMNodeList> children;
    long length = 0;
    if (node->get_childNodes(children.GetAddressOf()) != S_OK || !children || children->get_length(&length) != S_OK ||
        length < 0)
        return false;
    count = static_cast<DWORD>(length);
    return true;
}

bool XMLTicket::loadInto(IXMLDOMDocument* document, const char* bytes, const std::wstring* wide)
{
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (wide) {
        BString text(*wide);
        return text && document->loadXML(text.get(), &loaded) == S_OK && loaded == VARIANT_TRUE;
    }
    const size_t size = std::strlen(bytes);
    if (size > UINT_MAX)
        return false;
    // A byte stream: the parser decodes by the document's own declaration.
    IStream* stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes), static_cast<UINT>(size));
    if (!stream)
        return false;
    ComVariant source;
    VARIANT* value = source.receive();
    value->vt = VT_UNKNOWN;
    value->punkVal = stream; // the variant owns the stream now
    return document->load(source.get(), &loaded) == S_OK && loaded == VARIANT_TRUE;
}

bool XMLTicket::loadCommon(const char* bytes, const std::wstring* wide, bool merge, const std::wstring* expectedRoot)
{
    if (!document_)
        return false;
    if (!merge) {
        if (!loadInto(document_.Get(), bytes, wide))
            return false;
        ComPtr<IXMLDOMElement> element;
        if (document_->get_documentElement(element.GetAddressOf()) != S_OK)
            return false;
        root_ = element;
        return root_ != nullptr;
    }
    if (!root_)
        return false;
    ComPtr<IXMLDOMDocument> second;
    ComPtr<IXMLDOMElement> element;
    ComPtr<IXMLDOMNode> appended;
    if (!newDocument(second) || !loadInto(second.Get(), bytes, wide) ||
        second->get_documentElement(element.GetAddressOf()) != S_OK || !element)
        return false;
    if (expectedRoot) {
        BString name;
        if (element->get_nodeName(name.receive()) != S_OK || !name || name.str() != *expectedRoot)
            return false;
    }
    return root_->appendChild(element.Get(), appended.GetAddressOf()) == S_OK;
}

std::string XMLTicket::documentBytes(const char* text)
{
    return isUndeclaredAnsiXml(text) ? ansiXmlToUtf8(text) : std::string(text);
}

bool XMLTicket::mergeTree(const char* bytes, const std::wstring& expectedRoot)
{
    if (!bytes || !*bytes)
        return false;
    const std::string text = documentBytes(bytes);
    return !text.empty() && loadCommon(text.c_str(), nullptr, true, &expectedRoot);
}

bool XMLTicket::loadText(const char* text, bool merge)
{
    if (!text || !*text)
        return false;
    const std::string bytes = documentBytes(text);
    return !bytes.empty() && loadCommon(bytes.c_str(), nullptr, merge);
}

bool XMLTicket::loadXML(const std::wstring& text, bool merge)
{
    return !text.empty() && loadCommon(nullptr, &text, merge);
}

bool XMLTicket::appendElement(const std::wstring& xpath, const std::wstring& name)
{
    if (!document_ || name.empty())
        return false;
    ComPtr<IXMLDOMNode> parent;
    if (!selectOnRoot(xpath, parent))
        return false;
    BString tag(name);
    ComPtr<IXMLDOMElement> element;
    ComPtr<IXMLDOMNode> appended;
    return tag && document_->createElement(tag.get(), element.GetAddressOf()) == S_OK && element &&
           parent->appendChild(element.Get(), appended.GetAddressOf()) == S_OK;
}

bool XMLTicket::setText(const std::wstring& xpath, const std::wstring& text)
{
    if (!document_ || text.empty())
        return false;
    ComPtr<IXMLDOMNode> node;
    if (!selectOnRoot(xpath, node))
        return false;
    BString value(text);
    return value && node->put_text(value.get()) == S_OK;
}

bool XMLTicket::saveNode(IXMLDOMNode* node, const wchar_t* fileName)
{
    if (!node || !fileName || !document_)
        return false;
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf())))
        return false;
    ComVariant target;
    VARIANT* value = target.receive();
    value->vt = VT_UNKNOWN;
    value->punkVal = stream.Get();
    stream->AddRef(); // the variant's reference
    if (document_->save(target.get()) != S_OK)
        return false;
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || stat.cbSize.QuadPart == 0 ||
        stat.cbSize.QuadPart > 0x7FFFFFFF)
        return false;
    HGLOBAL memory = nullptr;
    if (FAILED(GetHGlobalFromStream(stream.Get(), &memory)))
        return false;
    GlobalLockGuard<const BYTE> lock(memory);
    const size_t size = static_cast<size_t>(stat.cbSize.QuadPart);
    if (!lock || GlobalSize(memory) < size)
        return false;
    // Every byte of the serialisation: a UTF-16 document holds zero bytes,
    // so measuring up to the first one would cut it short.
    FILE* file = nullptr;
    if (_wfopen_s(&file, fileName, L"wb") != 0 || !file)
        return false;
    const size_t written = std::fwrite(lock.get(), 1, size, file);
    const bool closed = std::fclose(file) == 0;
    return written == size && closed;
}

bool XMLTicket::save(const wchar_t* fileName)
{
    if (!fileName || !document_)
        return false;
    ComPtr<IXMLDOMNode> node;
    return SUCCEEDED(document_.As(&node)) && saveNode(node.Get(), fileName);
}

bool XMLTicket::removeByName(const std::wstring& name)
{
    return document_ && !name.empty() && removeNode(L"/" + name);
}

bool XMLTicket::removeNode(const std::wstring& xpath)
{
    if (!document_ || xpath.empty())
        return false;
    ComPtr<IXMLDOMNode> node;
    ComPtr<IXMLDOMNode> parent;
    ComPtr<IXMLDOMNode> removed;
    return selectOnRoot(xpath, node) && node->get_parentNode(parent.GetAddressOf()) == S_OK && parent &&
           parent->removeChild(node.Get(), removed.GetAddressOf()) == S_OK;
}

bool XMLTicket::getTextLength(const char* text, size_t* length)
{
    if (!text || !length)
        return false;
    const size_t measured = strnlen(text, kMaxTextLength + 1);
    if (measured > kMaxTextLength)
        return false;
    *length = measured;
    return true;
}

bool XMLTicket::exists(const std::wstring& xpath)
{
    if (!document_ || xpath.empty())
        return false;
    BString path(xpath);
    ComPtr<IXMLDOMNode> node;
    return path && document_->selectSingleNode(path.get(), node.GetAddressOf()) == S_OK && node;
}

std::wstring XMLTicket::parseErrorMessage(IXMLDOMParseError* error)
{
    if (!error)
        return {};
    long code = 0, filePosition = 0, line = 0, linePosition = 0;
    error->get_errorCode(&code);
    error->get_filepos(&filePosition);
    error->get_line(&line);
    error->get_linepos(&linePosition);
    BString reason, source, url;
    error->get_reason(reason.receive());
    error->get_srcText(source.receive());
    error->get_url(url.receive());
    wchar_t number[16];
    std::swprintf(number, 16, L"0x%08lX", static_cast<unsigned long>(code));
    return L"  Error code = " + std::wstring(number) + L"\n  File Position: " + std::to_wstring(filePosition) +
           L"\n  Line Number: " + std::to_wstring(line) + L"\n  Line Position: " + std::to_wstring(linePosition) +
           L"\n  Reason: " + bstrText(reason.get()) + L"\n  Source: " + bstrText(source.get()) + L"\n  URL String: " +
           bstrText(url.get()) + L"\n";
}

bool XMLTicket::reportParseError(IXMLDOMParseError* error)
{
    if (!error)
        return false;
    const std::wstring message = parseErrorMessage(error);
    OutputDebugStringW(L"Failed to load XML from stream.");
    OutputDebugStringW(message.c_str());
    return false;
}

bool XMLTicket::reportLoadError(IXMLDOMDocument* document)
{
    if (!document)
        return false;
    ComPtr<IXMLDOMParseError> error;
    if (document->get_parseError(error.GetAddressOf()) == S_OK && error)
        return reportParseError(error.Get());
    return false;
}

} // namespace MPrint
