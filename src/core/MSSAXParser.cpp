#include "core/MSSAXParser.h"

#include "core/AsciiCase.h"
#include "core/SaxReaderScope.h"
#include "core/ComVariant.h"
#include "core/ScopedHandle.h"

#include <shlwapi.h>

#include <climits>
#include <cstdio>
#include <cwchar>

namespace MPrint {

namespace {

bool asciiEqualsIgnoreCase(const std::wstring& text, const wchar_t* word)
{
    size_t i = 0;
    for (; i < text.size() && word[i]; ++i) {
        if (asciiLower(text[i]) != asciiLower(word[i]))
            return false;
    }
    return i == text.size() && !word[i];
}

constexpr int kOpenAttempts = 20;
constexpr DWORD kOpenRetryMs = 100;
constexpr DWORD kReadBlock = 512;

} // namespace

MSSAXParser::MSSAXParser(const SaxElementEntry* elementTable, DWORD defaultElementId)
    : elementTable_(elementTable), defaultElementId_(defaultElementId)
{
}

MSSAXParser::~MSSAXParser()
{
    levels_.clear();
    depth_ = 0;
    if (reader_) {
        reader_->putContentHandler(nullptr);
        reader_.Reset(); // before COM is undone
    }
    // Only the thread whose COM was initialised can undo it; elsewhere the
    // other thread's record would lose an entry that is not ours.
    if (comInitialised_ && comThreadId_ == GetCurrentThreadId())
        SaxReaderScope::uninitializeCom();
}

HRESULT STDMETHODCALLTYPE MSSAXParser::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(ISAXContentHandler))) {
        *object = static_cast<ISAXContentHandler*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MSSAXParser::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

ULONG STDMETHODCALLTYPE MSSAXParser::Release()
{
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE MSSAXParser::putDocumentLocator(ISAXLocator*)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MSSAXParser::startDocument()
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MSSAXParser::endDocument()
{
    // Drops the reader's reference to this handler.
    if (activeReader_)
        activeReader_->putContentHandler(nullptr);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MSSAXParser::startPrefixMapping(const wchar_t*, int, const wchar_t*, int)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MSSAXParser::endPrefixMapping(const wchar_t*, int)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MSSAXParser::startElement(const wchar_t*, int, const wchar_t* localName,
                                                    int localNameLength, const wchar_t* qName, int qNameLength,
                                                    ISAXAttributes*)
{
    // No exception may cross into the reader: a failure ends the parse.
    try {
        // Slots of closed elements are reused: a document's elements cost
        // no allocation once its deepest nesting has been seen.
        if (depth_ == levels_.size())
            levels_.emplace_back();
        LevelData& level = levels_[depth_];
        if (localName && localNameLength > 0)
            level.name.assign(localName, localNameLength);
        else if (qName && qNameLength > 0)
            level.name.assign(qName, qNameLength);
        else
            level.name.clear();
        const ElementInfo info = lookupElement(level.name);
        level.elementId = info.elementId;
        level.valueType = info.valueType;
        if (depth_ == 0)
            documentElementId_ = info.elementId;
        ++depth_;
        text_.clear();
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT STDMETHODCALLTYPE MSSAXParser::endElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*, int)
{
    try {
        if (depth_ == 0)
            return S_OK;
        dispatch(levels_[depth_ - 1], text_);
        --depth_;
        text_.clear();
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT STDMETHODCALLTYPE MSSAXParser::characters(const wchar_t* chars, int length)
{
    try {
        if (chars && length > 0)
            text_.append(chars, length);
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT STDMETHODCALLTYPE MSSAXParser::ignorableWhitespace(const wchar_t*, int)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MSSAXParser::processingInstruction(const wchar_t*, int, const wchar_t*, int)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MSSAXParser::skippedEntity(const wchar_t*, int)
{
    return S_OK;
}

bool MSSAXParser::createReader()
{
    if (reader_)
        return true;
    if (!comInitialised_) {
        bool initialised = false;
        if (!SaxReaderScope::initializeCom(initialised))
            return false;
        if (initialised) {
            comInitialised_ = true;
            comThreadId_ = GetCurrentThreadId();
        }
    }
    reader_ = SaxReaderScope::createReader();
    return reader_ != nullptr;
}

bool MSSAXParser::parse(const std::string& xml)
{
    depth_ = 0;
    text_.clear();
    if (xml.size() > UINT_MAX)
        return false;
    // A reader of our own, once made, serves every later parse.
    if (reader_)
        return parseWith(reader_.Get(), xml);
    // The lease outlives every use of its reader below, the failure path's too.
    SaxReaderScope::Lease lease;
    ISAXXMLReader* reader = lease.reader();
    if (!reader) {
        if (!createReader())
            return false;
        reader = reader_.Get();
    }
    if (!parseWith(reader, xml))
        return false;
    lease.succeeded();
    return true;
}

bool MSSAXParser::parseWith(ISAXXMLReader* reader, const std::string& xml)
{
    try {
        // A stream of bytes lets the reader decode by the document's own
        // declaration (a string would be taken as already decoded).
        IStream* stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(xml.data()), static_cast<UINT>(xml.size()));
        if (!stream)
            return false;
        ComVariant input;
        VARIANT* value = input.receive();
        value->vt = VT_UNKNOWN;
        value->punkVal = stream; // the variant owns the stream now
        // Set on every parse: endDocument removed it after the last one.
        activeReader_ = reader;
        reader->putContentHandler(this);
        const HRESULT result = reader->parse(input.get());
        reader->putContentHandler(nullptr);
        activeReader_ = nullptr;
        return SUCCEEDED(result);
    } catch (...) {
        if (activeReader_)
            activeReader_->putContentHandler(nullptr);
        activeReader_ = nullptr;
        return false;
    }
}

bool MSSAXParser::parseFile(const std::wstring& path)
{
    try {
        reset();
        HANDLE opened = INVALID_HANDLE_VALUE;
        for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
            opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            if (opened != INVALID_HANDLE_VALUE)
                break;
            if (attempt + 1 < kOpenAttempts)
                Sleep(kOpenRetryMs); // a writer may still hold the file
        }
        ScopedKernelHandle file(opened);
        if (!file.valid())
            return false;
        std::string bytes;
        char block[kReadBlock];
        for (;;) {
            DWORD read = 0;
            if (!ReadFile(file.get(), block, kReadBlock, &read, nullptr))
                return false;
            bytes.append(block, read);
            if (read < kReadBlock)
                break;
        }
        if (bytes.empty())
            return true;
        return parse(bytes);
    } catch (...) {
        return false;
    }
}

bool MSSAXParser::parseBool(const std::wstring& text)
{
    for (const wchar_t* word : {L"true", L"enabled", L"1"}) {
        if (asciiEqualsIgnoreCase(text, word))
            return true;
    }
    for (const wchar_t* word : {L"false", L"disabled", L"0"}) {
        if (asciiEqualsIgnoreCase(text, word))
            return false;
    }
    return wcstol(text.c_str(), nullptr, 10) != 0;
}

GUID MSSAXParser::parseGuid(const std::wstring& text)
{
    unsigned long data1 = 0;
    unsigned short data2 = 0, data3 = 0, head = 0, tail1 = 0, tail2 = 0, tail3 = 0;
    const int fields = swscanf(text.c_str(), L"%lx-%hx-%hx-%hx-%4hx%4hx%4hx", &data1, &data2, &data3, &head, &tail1,
                               &tail2, &tail3);
    GUID guid = {};
    if (fields != 7)
        return guid;
    guid.Data1 = static_cast<DWORD>(data1);
    guid.Data2 = data2;
    guid.Data3 = data3;
    const unsigned short words[] = {head, tail1, tail2, tail3};
    for (int i = 0; i < 4; ++i) {
        guid.Data4[2 * i] = static_cast<BYTE>(words[i] >> 8);
        guid.Data4[2 * i + 1] = static_cast<BYTE>(words[i] & 0xFF);
    }
    return guid;
}

void MSSAXParser::reset()
{
    levels_.clear();
    depth_ = 0;
    documentElementId_ = defaultElementId_;
}

MSSAXParser::ElementInfo MSSAXParser::lookupElement(const std::wstring& name)
{
    for (const SaxElementEntry* row = elementTable_; row && row->name; ++row) {
        if (asciiEqualsIgnoreCase(name, row->name))
            return {row->elementId, row->valueType};
    }
    return {defaultElementId_, 0};
}

std::string MSSAXParser::utf8ToSingleByte(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0x80) && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            out += static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F));
            ++i;
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

void MSSAXParser::dispatch(const LevelData& level, const std::wstring& text)
{
    switch (level.valueType) {
    case SaxString:
        onStringValue(level, text);
        break;
    case SaxNumber:
        onNumberValue(level, static_cast<DWORD>(wcstoul(text.c_str(), nullptr, 10)));
        break;
    case SaxShort:
        onShortValue(level, static_cast<WORD>(wcstoul(text.c_str(), nullptr, 10)));
        break;
    case SaxBinary:
        onBinaryValue(level, text);
        break;
    case SaxContainer:
        onContainerEnd(level, text);
        break;
    case SaxBool:
        onBoolValue(level, parseBool(text));
        break;
    case SaxGuid:
        onGuidValue(level, parseGuid(text));
        break;
    default:
        onOtherValue(level, text);
        break;
    }
}

void MSSAXParser::onStringValue(const LevelData&, const std::wstring&) {}
void MSSAXParser::onNumberValue(const LevelData&, DWORD) {}
void MSSAXParser::onShortValue(const LevelData&, WORD) {}
void MSSAXParser::onBinaryValue(const LevelData&, const std::wstring&) {}
void MSSAXParser::onContainerEnd(const LevelData&, const std::wstring&) {}
void MSSAXParser::onBoolValue(const LevelData&, bool) {}
void MSSAXParser::onGuidValue(const LevelData&, const GUID&) {}
void MSSAXParser::onOtherValue(const LevelData&, const std::wstring&) {}

} // namespace MPrint
