#include "bidi/TrebukBidiConnection.h"

#include "bidi/CurrentDestination.h"
#include "bidi/DeviceCharset.h"
#include "bidi/SNMPCommunityName.h"
#include "core/COMWrapper.h"
#include "core/StringConversion.h"
#include "shared/PortResolver.h"
#include "shared/PrinterPort.h"

#include <cstring>

namespace MPrint {

namespace {

constexpr HRESULT kChangedMode = static_cast<HRESULT>(0x80010106); // RPC_E_CHANGED_MODE

// A buffer the server allocated.
template <class T>
class TaskMem {
public:
    TaskMem() = default;
    ~TaskMem() { CoTaskMemFree(data_); }
    TaskMem(const TaskMem&) = delete;
    TaskMem& operator=(const TaskMem&) = delete;
    T** receive() { return &data_; }
    T* get() const { return data_; }

private:
    T* data_ = nullptr;
};

// Kinds in the order Open prefers them; with none set the flags go as they are.
DWORD preferredKind(DWORD flags)
{
    for (DWORD kind : {4u, 2u, 8u, 16u, 1u})
        if (flags & kind)
            return kind;
    return flags;
}

bool isControlByte(BYTE byte)
{
    return byte < 32;
}

// Octet strings: leading bytes below 32 are skipped, and bytes from 0x80 up
// count as below 32 there (the device's signed-byte reading, kept as is).
bool skippedOctet(BYTE byte)
{
    return byte < 32 || byte >= 0x80;
}

} // namespace

TrebukBidiConnection::TrebukBidiConnection(const wchar_t* printerName)
    : printerName_(printerName ? printerName : currentDestinationPrinterName())
{
}

TrebukBidiConnection::~TrebukBidiConnection()
{
    connection_.Reset();
    requestList_.Reset();
    // Undone where it was made, through the record that holds it (still
    // valid: our entry keeps it); from another thread nothing can be undone.
    if (comRecorded_ && comThread_ == GetCurrentThreadId()) {
        if (com_)
            com_->uninitialize();
        else if (SUCCEEDED(comResult_))
            CoUninitialize();
    }
}

// Once per object: Open calls Connect, and both need COM; the destructor
// undoes exactly the one initialisation recorded here.
bool TrebukBidiConnection::initializeCom()
{
    if (!comRecorded_) {
        com_ = getThreadCOMWrapper(__FILE__, __LINE__);
        comResult_ = com_ ? com_->initialize() : CoInitialize(nullptr);
        comThread_ = GetCurrentThreadId();
        comRecorded_ = true;
    }
    return SUCCEEDED(comResult_) || comResult_ == kChangedMode;
}

void TrebukBidiConnection::pause(DWORD milliseconds)
{
    Sleep(milliseconds);
}

void TrebukBidiConnection::publishCommunity(const wchar_t* address)
{
    if (printerName_.empty() || !address)
        return;
    SNMPCommunityNameComposite composite;
    SNMPCIOCommunityName(composite.getCommunityName(printerName_.c_str()), std::wstring(address)).apply();
}

bool TrebukBidiConnection::Connect(const wchar_t* name, const wchar_t* address, DWORD addressKind, DWORD port)
{
    if (!initializeCom())
        return false;
    publishCommunity(address);
    if (connection_)
        return SUCCEEDED(connection_->Connect(name, addressKind, address, port));

    if (FAILED(CoCreateInstance(trebuk::kRequestListClassId, nullptr, CLSCTX_INPROC_SERVER,
                                trebuk::kRequestListInterfaceId,
                                reinterpret_cast<void**>(requestList_.ReleaseAndGetAddressOf()))) ||
        !requestList_)
        return false;
    if (FAILED(CoCreateInstance(trebuk::kConnectionClassId, nullptr, CLSCTX_INPROC_SERVER,
                                trebuk::kConnectionInterfaceId,
                                reinterpret_cast<void**>(connection_.ReleaseAndGetAddressOf()))) ||
        !connection_) {
        connection_.Reset();
        requestList_.Reset();
        return false;
    }

    const int attempts = (addressKind & BidiAddressLocalPort) ? 5 : 2;
    bool connected = false;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        const HRESULT result = connection_->Connect(name, addressKind, address, port);
        if (SUCCEEDED(result)) {
            connected = true;
            break;
        }
        if (result == trebuk::kConnectNoRetry)
            break;
        if (attempt < attempts)
            pause(kRetryPauseMs);
    }
    if (!connected)
        return false;

    // An indexed raw port (9101 to 9108) carries its own community.
    std::wstring settings = L"*";
    if (!printerName_.empty()) {
        PrinterPort queuePort(printerName_.c_str(), nullptr);
        if (queuePort.isIndexedRawPort())
            settings += queuePort.getSNMPCommunity();
    }
    connection_->Settings(settings.size() > 1 ? settings.c_str() : nullptr, 0, -1, 3000, 2000, 1, 1);
    return true;
}

bool TrebukBidiConnection::Open()
{
    if (!initializeCom())
        return false;
    std::wstring name;
    std::wstring address;
    DWORD valueA = 0;
    DWORD flags = 0;
    DWORD port = kBidiDefaultPort;
    PortResolver resolver;
    if (!resolver.resolve(printerName_, name, address, valueA, flags, port))
        return false;
    if (connection_) {
        publishCommunity(address.c_str());
        return SUCCEEDED(connection_->Retarget(printerName_.c_str()));
    }
    return Connect(name.c_str(), address.c_str(), preferredKind(flags), port);
}

bool TrebukBidiConnection::Close()
{
    return !connection_ || SUCCEEDED(connection_->Disconnect());
}

bool TrebukBidiConnection::Get(BidiRequest* requests, DWORD count)
{
    return query(requests, count, false);
}

bool TrebukBidiConnection::GetNext(BidiRequest* requests, DWORD count)
{
    return query(requests, count, true);
}

bool TrebukBidiConnection::query(BidiRequest* requests, DWORD count, bool next)
{
    if (!requests || count < 1 || !connection_ || !requestList_)
        return false;
    for (DWORD i = 0; i < count; ++i) {
        std::wstring oid;
        convertString(requests[i].oid, oid, CP_UTF8);
        requestList_->SetOid(i, oid.c_str());
        requestList_->SetRequestKind(i, trebuk::kRequestKindValue);
    }
    const HRESULT result = next ? connection_->GetNext(requestList_.Get()) : connection_->Get(requestList_.Get());
    if (FAILED(result)) {
        for (DWORD i = 0; i < count; ++i)
            requests[i].value.status = static_cast<DWORD>(result);
        requestList_->Clear();
        return false;
    }

    DWORD overall = 0;
    DWORD answers = 0;
    requestList_->GetOverallStatus(&overall);
    requestList_->GetAnswerCount(&answers);
    bool anyValue = false;
    for (DWORD i = 0; i < count; ++i) {
        BidiRequest& request = requests[i];
        resetBidiValue(&request);
        request.value.status = overall;
        if (overall == trebuk::kOverallNoAnswer || answers < 1)
            continue;
        HRESULT status = E_FAIL;
        if (FAILED(requestList_->GetStatus(i, &status)))
            continue;
        request.value.status = static_cast<DWORD>(status);
        if (FAILED(status))
            continue;
        DWORD type = 0;
        DWORD size = 0;
        TaskMem<BYTE> data;
        if (FAILED(requestList_->GetValue(i, &type, data.receive(), &size)))
            continue;
        storeValue(request, type, size ? data.get() : nullptr, data.get() ? size : 0);
        if (request.value.type == BidiNone)
            continue;
        anyValue = true;
        if (next)
            repairNextOid(request, i);
    }
    requestList_->Clear();
    return anyValue;
}

// Every read of the server's buffer stays inside the size it reported: an
// integer needs four bytes, the prefix test looks only at bytes that exist.
void TrebukBidiConnection::storeValue(BidiRequest& request, DWORD type, const BYTE* data, DWORD size)
{
    BidiValue& value = request.value;
    char text[kTextBytes + 1] = {};
    auto convert = [&](const BYTE* from, DWORD length) {
        if (length > 0 && convertDeviceString(from, static_cast<int>(length), text, sizeof(text),
                                              request.textConversion, 0))
            value.text = text;
    };
    auto keepBytes = [&] {
        value.binary.assign(data, data + size);
        value.binaryLength = size;
    };
    switch (type) {
    case trebuk::kTypeInteger:
    case trebuk::kTypeCounter:
        if (!data || size < 4)
            return;
        value.type = BidiInteger;
        memcpy(&value.integer, data, sizeof(value.integer));
        return;
    case trebuk::kTypeText: {
        const bool control = size >= 1 && (isControlByte(data[0]) || (size >= 2 && isControlByte(data[1])));
        if (control)
            keepBytes();
        value.type = BidiText;
        if (control && size >= 4 && data[2] > 32)
            convert(data + 2, size - 2);
        else
            convert(data, size);
        return;
    }
    case trebuk::kTypeOctets: {
        if (data)
            keepBytes();
        value.type = BidiBinary;
        DWORD skip = 0;
        while (skip < size && skippedOctet(data[skip]))
            ++skip;
        if (skip < size)
            convert(data + skip, size - skip);
        return;
    }
    default:
        return;
    }
}

// Older devices answer a get-next with the OID shortened by the part it
// shares with the question; the known prefixes are put back.
void TrebukBidiConnection::repairNextOid(BidiRequest& request, DWORD index)
{
    TaskMem<wchar_t> nextOid;
    if (FAILED(requestList_->GetNextOid(index, nextOid.receive())) || !nextOid.get())
        return;
    // An OID is short: a server text without its end within this is refused, not cut.
    constexpr size_t kMaxOidChars = 1024;
    const size_t n = wcsnlen(nextOid.get(), kMaxOidChars);
    if (n == kMaxOidChars)
        return;
    std::string next;
    if (!convertString(std::wstring(nextOid.get(), n), next, CP_UTF8) || next.empty())
        return;
    static const char* const kPrefixes[] = {"1.3.6.1.4.1.11.2.3.9.4.2.", "1.3.6.1.2.1.43", "1.3.6.1.2.1.25"};
    if (next.size() < request.oid.size()) {
        for (size_t p = 0; p < 3; ++p) {
            const std::string prefix = kPrefixes[p];
            if (request.oid.compare(0, prefix.size(), prefix) != 0)
                continue;
            if (next.find(prefix) == std::string::npos) {
                if (p > 0)
                    next.erase(0, 1);
                next = prefix + next;
            }
            break;
        }
    }
    request.oid = next;
}

} // namespace MPrint
