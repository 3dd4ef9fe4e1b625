#include "core/SaxReaderScope.h"

#include "core/COMWrapper.h"

#include <utility>

namespace MPrint {

namespace {

thread_local SaxReaderScope* t_innermost = nullptr;

} // namespace

SaxReaderScope::SaxReaderScope() : previous_(t_innermost)
{
    t_innermost = this;
}

SaxReaderScope::~SaxReaderScope()
{
    t_innermost = previous_;
    reader_.Reset(); // before COM is undone
    if (comInitialised_)
        uninitializeCom();
}

SaxReaderScope::Lease::Lease()
{
    SaxReaderScope* scope = t_innermost;
    if (!scope || scope->lent_) {
        lendThreadReader();
        return;
    }
    if (!scope->tried_) {
        scope->tried_ = true;
        scope->comReady_ = initializeCom(scope->comInitialised_);
    }
    if (!scope->reader_ && scope->comReady_)
        scope->reader_ = createReader();
    if (!scope->reader_) {
        lendThreadReader();
        return;
    }
    scope->lent_ = true;
    scope_ = scope;
    reader_ = scope->reader_.Get();
}

SaxReaderScope::Lease::~Lease()
{
    if (scope_) {
        scope_->lent_ = false;
        // A reader whose parse failed is not trusted with the next one.
        if (!succeeded_)
            scope_->reader_.Reset();
        return;
    }
    if (!threadReader_ || !succeeded_)
        return;
    // Asked for again: a callback may have ended the record it came from.
    COMWrapper* com = getThreadCOMWrapper(__FILE__, __LINE__);
    if (com)
        com->keep(std::move(threadReader_));
}

bool SaxReaderScope::Lease::lendThreadReader()
{
    COMWrapper* com = getThreadCOMWrapper(__FILE__, __LINE__);
    if (!com || !com->holdsApartment())
        return false;
    if (Microsoft::WRL::ComPtr<IUnknown> kept = com->takeKept())
        kept.As(&threadReader_);
    if (!threadReader_)
        threadReader_ = createReader();
    reader_ = threadReader_.Get();
    return reader_ != nullptr;
}

bool SaxReaderScope::initializeCom(bool& initialised)
{
    initialised = false;
    COMWrapper* com = getThreadCOMWrapper(__FILE__, __LINE__);
    if (!com)
        return false;
    const HRESULT result = com->initialize();
    if (SUCCEEDED(result)) {
        initialised = true;
        return true;
    }
    // Nothing to undo later: pop the failed entry now. A thread already in
    // the multithreaded apartment can use COM.
    com->uninitialize();
    return result == RPC_E_CHANGED_MODE;
}

void SaxReaderScope::uninitializeCom()
{
    if (COMWrapper* com = getThreadCOMWrapper(__FILE__, __LINE__))
        com->uninitialize();
}

Microsoft::WRL::ComPtr<ISAXXMLReader> SaxReaderScope::createReader()
{
    Microsoft::WRL::ComPtr<ISAXXMLReader> reader;
    if (FAILED(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ISAXXMLReader),
                                reinterpret_cast<void**>(reader.GetAddressOf()))))
        return nullptr;
    // Documents come from servers and files: no DTD, no external entity.
    // Readers that do not know a feature keep their (safe) default.
    reader->putFeature(L"prohibit-dtd", VARIANT_TRUE);
    reader->putFeature(L"http://xml.org/sax/features/external-general-entities", VARIANT_FALSE);
    reader->putFeature(L"http://xml.org/sax/features/external-parameter-entities", VARIANT_FALSE);
    return reader;
}

} // namespace MPrint
