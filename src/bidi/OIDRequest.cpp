#include "bidi/OIDRequest.h"

#include "bidi/OIDKRVMapperFactory.h"
#include "bidi/OIDLEDMMapperFactory.h"
#include "bidi/OIDObject.h"
#include "tickets/DeviceTicket.h"

#include <memory>

namespace MPrint {

OIDMapperFactory* getOIDMapperFactory(DWORD kind)
{
    switch (kind) {
    case 1: return &OIDLEDMMapperFactory::instance();
    case 2: return &OIDKRVMapperFactory::instance();
    default: return nullptr;
    }
}

namespace {

bool get(std::unique_ptr<OIDMapper> mapper, BidiRequest* request, DeviceTicket* ticket)
{
    std::wstring path = mapper->xpath;
    std::wstring text;
    bool ok = ticket->getValue(path, text, mapper->flags != 0);
    while (!ok && mapper->nextAlternateXPath(path)) {
        text.clear();
        ok = ticket->getValue(path, text, mapper->flags != 0);
    }
    const bool result = ok && setBidiValueByType(request, text, mapper->type);
    DWORD count = 0;
    if (ticket->getChildCount(path, count))
        request->value.count = count;
    return result;
}

} // namespace

bool executeOIDRequest(OIDObject* object, DWORD mode, const std::string& oid, BidiRequest* request,
                       DeviceTicket* ticket)
{
    if (!object)
        return false;
    OIDMapperFactory* factory = getOIDMapperFactory(object->getDeviceType());
    if (!factory)
        return false;
    std::unique_ptr<OIDMapper> mapper(factory->GetMapper(oid));
    if (!mapper || !request || !ticket)
        return false;
    if (mapper->converter && !mapper->converter(oid, request, ticket, mapper->flags)) {
        request->oid = kInvalidOID;
        return false;
    }
    if (mode != OIDGetNext)
        return get(std::move(mapper), request, ticket);

    const std::string next = mapper->nextOID;
    mapper.reset();
    if (executeOIDRequest(object, OIDGet, next, request, ticket)) {
        request->oid = next;
        return true;
    }
    if (next.empty()) {
        request->oid = kInvalidOID;
        return false;
    }
    request->oid = next;
    resetBidiValue(request);
    request->value.status = BidiEmptyOrUnconvertible;
    return false;
}

bool executeOIDGet(OIDObject* object, BidiRequest* request, DeviceTicket* ticket)
{
    return request && executeOIDRequest(object, OIDGet, std::string(request->oid), request, ticket);
}

bool executeOIDGetNext(OIDObject* object, BidiRequest* request, DeviceTicket* ticket)
{
    return request && executeOIDRequest(object, OIDGetNext, std::string(request->oid), request, ticket);
}

} // namespace MPrint
