// One MSXML DOM document read and changed by XPath: texts, names, child
// counts, edits, loads (replace or merge under the root), save to a file and
// parse-error reports to the debugger output. XPaths are evaluated with the
// root element as context, except exists(), which uses the document. Every
// operation answers false on a missing document or root, an empty argument or
// a failed DOM call (S_FALSE included); nothing throws. A ticket belongs to
// the thread that initialised it.
//
// Narrow texts given to loadText are document bytes: they go to the parser as
// they are, so it decodes them as the document declares (UTF-8 when nothing
// is declared); only text that is plainly in the ANSI code page (no
// declaration, no byte-order mark, not UTF-8) is widened through it.
#pragma once

#include "core/ComGuids.h"

#include <string>
#include <vector>
#include <wrl/client.h>

namespace MPrint {

// The version-independent DOM document class (msxml3).
extern const CLSID kDomDocumentClass;

class XMLTicket {
public:
    // Bound of getTextLength: longer texts fail.
    static constexpr size_t kMaxTextLength = 409600;

    XMLTicket();
    // Not virtual: tickets deleted through a base pointer declare their own.
    ~XMLTicket();
    XMLTicket(const XMLTicket&) = delete;
    XMLTicket& operator=(const XMLTicket&) = delete;

    virtual bool open(const std::wstring& source);
    virtual bool initialize();
    // Releases document and root, undoes this ticket's COM initialisation.
    virtual bool close();
    virtual bool getFirstValue(const std::vector<std::wstring>& xpaths, std::wstring& text, bool useCached) = 0;
    virtual bool getValue(const std::wstring& xpath, std::wstring& text, bool useCached) = 0;
    virtual bool getChildCount(const std::wstring& xpath, DWORD& count) = 0;
    virtual bool getText(const std::wstring& xpath, std::wstring& text);
    virtual bool getNodeName(const std::wstring& xpath, std::wstring& name);
    virtual bool loadText(const char* text, bool merge);
    virtual bool loadXML(const std::wstring& text, bool merge);
    virtual bool appendElement(const std::wstring& xpath, const std::wstring& name);
    virtual bool setText(const std::wstring& xpath, const std::wstring& text);
    // The whole document, whatever the node; the file holds exactly the
    // bytes of the document's serialisation.
    virtual bool saveNode(IXMLDOMNode* node, const wchar_t* fileName);
    virtual bool save(const wchar_t* fileName);
    virtual bool removeByName(const std::wstring& name);
    virtual bool removeNode(const std::wstring& xpath);
    virtual bool getTextLength(const char* text, size_t* length);
    virtual bool exists(const std::wstring& xpath);
    virtual bool createDocument();
    // Always false; writes two debugger strings when an error is given.
    virtual bool reportParseError(IXMLDOMParseError* error);
    virtual bool reportLoadError(IXMLDOMDocument* document);

    // The second debugger string of reportParseError.
    static std::wstring parseErrorMessage(IXMLDOMParseError* error);

protected:
    // COM for the calling thread, as initialize() does; false on a failure
    // other than RPC_E_CHANGED_MODE (a thread in the MTA can use COM).
    bool initializeCom();
    // Child count of the node at the XPath (root context).
    bool countChildren(const std::wstring& xpath, DWORD& count);
    bool setRoot(IXMLDOMElement* root);
    // Document bytes (as loadText takes them) appended under the root, but
    // only when their top element is named expectedRoot.
    bool mergeTree(const char* bytes, const std::wstring& expectedRoot);

    IXMLDOMDocument* document() const { return document_.Get(); }
    IXMLDOMElement* root() const { return root_.Get(); }

private:
    bool selectOnRoot(const std::wstring& xpath, Microsoft::WRL::ComPtr<IXMLDOMNode>& node);
    // A new document of the ticket's class with external resources off.
    static bool newDocument(Microsoft::WRL::ComPtr<IXMLDOMDocument>& document);
    // Loads the text into the document (bytes as declared, or wide text).
    static bool loadInto(IXMLDOMDocument* document, const char* bytes, const std::wstring* wide);
    bool loadCommon(const char* bytes, const std::wstring* wide, bool merge, const std::wstring* expectedRoot = nullptr);
    // Bytes plainly in the ANSI code page become UTF-8; others stay as they are.
    static std::string documentBytes(const char* text);

    HRESULT comResult_ = E_FAIL;
    Microsoft::WRL::ComPtr<IXMLDOMDocument> document_;
    Microsoft::WRL::ComPtr<IXMLDOMElement> root_;
    DWORD comInits_ = 0;    // initialisations made by this ticket, not yet undone
    DWORD comThread_ = 0;   // the thread they were made on
};

} // namespace MPrint
