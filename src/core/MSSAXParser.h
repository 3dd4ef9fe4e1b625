// Base of every XML reader of the module: a SAX content handler driven by
// MSXML's SAXXMLReader. A subclass gives a table mapping element names
// (ASCII case ignored) to ids and value types; at each element's end the base
// converts the element's text by its type and calls one typed handler.
//
// Text decoding, the one pipeline of every reader: parse() takes the
// document's bytes exactly as they were read or fetched, and MSXML decodes
// them as the document says (byte-order mark, then the encoding declaration;
// a document without either is UTF-8). Callers never convert a document
// before parsing it: no ANSI widening, no ansiXmlToUtf8 around it. A document
// held as wide text (a registry value) goes through convertToUtf8 and must
// then declare UTF-8 or no encoding.
//
// DTDs are prohibited and external entities are not resolved. A parser
// belongs to one thread. Inside a SaxReaderScope it parses with the scope's
// reader, on a thread where the module holds COM with the thread's kept
// reader (see SaxReaderScope); otherwise it initialises COM on that thread
// when it first creates a reader of its own and undoes that when it is
// destroyed there. Failures are answered with false, never with an exception.
#pragma once

#include "core/ComGuids.h"

#include <wrl/client.h>

#include <string>
#include <vector>

namespace MPrint {

enum SaxValueType : DWORD {
    SaxString = 1,
    SaxNumber = 2,    // unsigned 32-bit, base 10
    SaxShort = 3,     // the same number cut to 16 bits
    SaxBinary = 4,    // the text as it stands
    SaxContainer = 5, // the text after the last child element
    SaxBool = 6,
    SaxGuid = 7,      // 8-4-4-4-12 without braces
};

// One row of an element table; a row with a null name ends the table.
struct SaxElementEntry {
    const wchar_t* name;
    DWORD elementId;
    DWORD valueType;
};

class MSSAXParser : public ISAXContentHandler {
public:
    struct LevelData {
        DWORD elementId;
        DWORD valueType;
        std::wstring name;
    };
    struct ElementInfo {
        DWORD elementId;
        DWORD valueType;
    };

    MSSAXParser(const SaxElementEntry* elementTable, DWORD defaultElementId);
    MSSAXParser(const MSSAXParser&) = delete;
    MSSAXParser& operator=(const MSSAXParser&) = delete;

    // IUnknown. The owner creates and deletes the parser directly; the count
    // covers the reader's references while a parse runs.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ISAXContentHandler
    HRESULT STDMETHODCALLTYPE putDocumentLocator(ISAXLocator* locator) override;
    HRESULT STDMETHODCALLTYPE startDocument() override;
    HRESULT STDMETHODCALLTYPE endDocument() override;
    HRESULT STDMETHODCALLTYPE startPrefixMapping(const wchar_t* prefix, int prefixLength, const wchar_t* uri,
                                                 int uriLength) override;
    HRESULT STDMETHODCALLTYPE endPrefixMapping(const wchar_t* prefix, int prefixLength) override;
    HRESULT STDMETHODCALLTYPE startElement(const wchar_t* uri, int uriLength, const wchar_t* localName,
                                           int localNameLength, const wchar_t* qName, int qNameLength,
                                           ISAXAttributes* attributes) override;
    HRESULT STDMETHODCALLTYPE endElement(const wchar_t* uri, int uriLength, const wchar_t* localName,
                                         int localNameLength, const wchar_t* qName, int qNameLength) override;
    HRESULT STDMETHODCALLTYPE characters(const wchar_t* chars, int length) override;
    HRESULT STDMETHODCALLTYPE ignorableWhitespace(const wchar_t* chars, int length) override;
    HRESULT STDMETHODCALLTYPE processingInstruction(const wchar_t* target, int targetLength, const wchar_t* data,
                                                    int dataLength) override;
    HRESULT STDMETHODCALLTYPE skippedEntity(const wchar_t* name, int nameLength) override;

    virtual ~MSSAXParser();

    // The document's bytes (see the pipeline above); true when the reader
    // accepted the whole document.
    virtual bool parse(const std::string& xml);
    // reset(), then the file's bytes through parse(). A file locked by a
    // writer is retried for about two seconds; an empty file answers true
    // without calling any handler.
    virtual bool parseFile(const std::wstring& path);

    // "true", "enabled", "1" / "false", "disabled", "0" in any ASCII case;
    // otherwise whether the base-10 value is non-zero.
    virtual bool parseBool(const std::wstring& text);
    // 8-4-4-4-12 hexadecimal without braces; anything else the zero GUID.
    virtual GUID parseGuid(const std::wstring& text);
    // Empties the element stack; the document element id becomes the default.
    virtual void reset();
    virtual ElementInfo lookupElement(const std::wstring& name);

    DWORD getDocumentElementId() const { return documentElementId_; }

    // Narrow UTF-8 text of characters below U+0100 to one byte each; other
    // bytes, and a lead byte that ends the text, are copied unchanged.
    static std::string utf8ToSingleByte(const std::string& text);

protected:
    // Typed handlers, called at an element's end; the base versions do nothing.
    virtual void onStringValue(const LevelData& level, const std::wstring& value);
    virtual void onNumberValue(const LevelData& level, DWORD value);
    virtual void onShortValue(const LevelData& level, WORD value);
    virtual void onBinaryValue(const LevelData& level, const std::wstring& text);
    virtual void onContainerEnd(const LevelData& level, const std::wstring& text);
    virtual void onBoolValue(const LevelData& level, bool value);
    virtual void onGuidValue(const LevelData& level, const GUID& value);
    virtual void onOtherValue(const LevelData& level, const std::wstring& text);

    virtual bool createReader();

private:
    bool parseWith(ISAXXMLReader* reader, const std::string& xml);
    void dispatch(const LevelData& level, const std::wstring& text);

    Microsoft::WRL::ComPtr<ISAXXMLReader> reader_; // our own, made on first need
    ISAXXMLReader* activeReader_ = nullptr; // ours or a scope's, while a parse runs
    volatile LONG refCount_ = 1;
    bool comInitialised_ = false;
    DWORD comThreadId_ = 0; // the thread whose COM this parser initialised
    const SaxElementEntry* elementTable_;
    DWORD defaultElementId_;
    std::vector<LevelData> levels_; // the first depth_ are the open elements, innermost last
    size_t depth_ = 0;
    std::wstring text_;
    DWORD documentElementId_ = 0;
};

} // namespace MPrint
