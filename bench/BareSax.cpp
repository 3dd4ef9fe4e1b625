#include "BareSax.h"

#include <shlwapi.h>

namespace bench {

namespace {

class NullHandler : public ISAXContentHandler {
public:
    virtual ~NullHandler() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
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
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG count = InterlockedDecrement(&refs_);
        if (count == 0)
            delete this;
        return static_cast<ULONG>(count);
    }
    HRESULT STDMETHODCALLTYPE putDocumentLocator(ISAXLocator*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE startDocument() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE endDocument() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE startPrefixMapping(const wchar_t*, int, const wchar_t*, int) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE endPrefixMapping(const wchar_t*, int) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE startElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*, int,
                                           ISAXAttributes*) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE endElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*, int) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE characters(const wchar_t*, int) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ignorableWhitespace(const wchar_t*, int) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE processingInstruction(const wchar_t*, int, const wchar_t*, int) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE skippedEntity(const wchar_t*, int) override { return S_OK; }

private:
    volatile LONG refs_ = 1;
};

} // namespace

BareSax::BareSax() : handler_(new NullHandler)
{
    if (FAILED(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ISAXXMLReader),
                                reinterpret_cast<void**>(&reader_))))
        reader_ = nullptr;
    if (reader_) {
        reader_->putFeature(L"prohibit-dtd", VARIANT_TRUE);
        reader_->putContentHandler(handler_);
    }
}

BareSax::~BareSax()
{
    if (reader_) {
        reader_->putContentHandler(nullptr);
        reader_->Release();
    }
    handler_->Release();
}

bool BareSax::parse(const std::string& bytes)
{
    if (!reader_)
        return false;
    IStream* stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    if (!stream)
        return false;
    VARIANT input;
    VariantInit(&input);
    input.vt = VT_UNKNOWN;
    input.punkVal = stream;
    const HRESULT result = reader_->parse(input);
    VariantClear(&input);
    return SUCCEEDED(result);
}

} // namespace bench
