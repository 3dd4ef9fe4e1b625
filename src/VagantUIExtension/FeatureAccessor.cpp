#include "VagantUIExtension/FeatureAccessor.h"

#include "VagantUIExtension/DeviceConfigurator.h"
#include "core/HexDigit.h"

#include <cwchar>

namespace MPrint {

namespace {

struct FeatureQuery {
    const char* oid;
    std::string expected;  // the next OID that shows the feature
};

const FeatureQuery kQueries[8] = {
    {"1.3.6.1.2.1.43.13.4.1.9.1.1", "1.3.6.1.2.1.43.13.4.1.9.1.2"},                   // media path type
    {"1.3.6.1.4.1.11.2.3.9.4.2.1.1.6.7.2.4", "1.3.6.1.4.1.11.2.3.9.4.2.1.1.6.7.2.4.0"}, // job storage
    {"1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.1.4", "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.1.4.0"},     // duplex
    {"1.3.6.1.2.1.25.3.6.1.2.1", "1.3.6.1.2.1.25.3.6.1.2.2"},                         // disk storage media
    {"1.3.6.1.2.1.25.3.6.1.2.2", "1.3.6.1.2.1.25.3.6.1.2.3"},
    {"1.3.6.1.2.1.25.3.6.1.2.3", "1.3.6.1.2.1.25.3.6.1.2.4"},
    {"1.3.6.1.2.1.25.2.1", "1.3.6.1.2.1.25.2.2"},                                     // memory size
    {"1.3.6.1.4.1.11.2.3.9.4.2.1.1.3.2", "1.3.6.1.4.1.11.2.3.9.4.2.1.1.3.2.0"},         // model text
};
enum { kMediaPath = 0, kJobStorage = 1, kDuplex = 2, kDisk1 = 3, kDisk3 = 5, kMemory = 6, kModelText = 7 };

constexpr LONG kMediaHardDisk = 3;
constexpr LONG kMediaRamDisk = 8;
constexpr LONG kRamDiskMinimumMegabytes = 64;

bool answeredAt(const BidiRequest& request, int index)
{
    return request.oid == kQueries[index].expected;
}

bool duplexFromMediaPath(const BidiRequest* requests)
{
    if (!answeredAt(requests[kMediaPath], kMediaPath))
        return false;
    const BidiRequest& mediaPath = requests[kMediaPath];
    if (DeviceConfigurator::isText(mediaPath) && !mediaPath.value.text.empty()) {
        const std::string& text = mediaPath.value.text;
        bool named = false;
        for (const char* word : {"duplex", "disabledenabled", "enableddisabled", "disabled", "enabled"})
            named = named || text.find(word) != std::string::npos;
        return named;
    }
    if (DeviceConfigurator::isInteger(mediaPath) && mediaPath.value.integer > 0)
        return true;
    return answeredAt(requests[kDuplex], kDuplex);
}

bool jobStorageFound(const BidiRequest* requests)
{
    const BidiRequest& storage = requests[kJobStorage];
    if (answeredAt(storage, kJobStorage) && DeviceConfigurator::isInteger(storage) && storage.value.integer == 2)
        return true;
    const BidiRequest& memory = requests[kMemory];
    const LONG megabytes =
        memory.oid.find(kQueries[kMemory].expected) != std::string::npos && DeviceConfigurator::isInteger(memory)
            ? memory.value.integer / 1024
            : 0;
    // After a walk the slot may hold whatever object came next: only the model's own answer counts.
    const BidiRequest& modelAnswer = requests[kModelText];
    const std::string model = answeredAt(modelAnswer, kModelText) && DeviceConfigurator::isText(modelAnswer)
                                  ? modelAnswer.value.text
                                  : std::string();
    const bool ramDiskRefused = !model.empty() && model.find("qz color Ardelle 2210") != std::string::npos;
    for (int i = kDisk1; i <= kDisk3; ++i) {
        const BidiRequest& disk = requests[i];
        if (!answeredAt(disk, i) || !DeviceConfigurator::isInteger(disk))
            continue;
        if (disk.value.integer == kMediaHardDisk)
            return true;
        if (disk.value.integer == kMediaRamDisk && megabytes >= kRamDiskMinimumMegabytes && !ramDiskRefused)
            return true;
    }
    return false;
}

// An inkjet's device id tells its duplex unit in the status field: the
// seventh character after ";S:" as a hex digit, bit 8 set (9 excepted).
// Anything unreadable keeps the earlier decision.
bool duplexFromDeviceId(const std::string& id, bool earlier)
{
    if (!deviceIdCommandSetMentionsColourInk(id, true))
        return earlier;
    const size_t status = id.find(";S:");
    if (status == std::string::npos || status + 7 >= id.size())
        return earlier;
    const int digit = hexDigitValue(static_cast<unsigned char>(id[status + 7]));
    if (digit < 0)
        return earlier;
    return (digit & 8) != 0 && digit != 9;
}

} // namespace

void writeTray(DeviceSettings& sink, int number, DWORD type, const std::wstring& name)
{
    wchar_t value[32];
    swprintf(value, 32, L"LumoTrayType%d", number);
    sink.setDword(value, type);
    swprintf(value, 32, L"LumoTrayName%d", number);
    sink.setString(value, name.c_str());
}

FeatureAccessor::~FeatureAccessor() = default;

uint32_t FeatureAccessor::Execute(void*)
{
    return kFeaturesNoAnswer;
}

uint32_t FeatureAccessor::QueryFeatures(PrintPath* path, BidiPrinterConnectionIntf* connection, DeviceSettings* sink)
{
    uint32_t result = kFeaturesNoAnswer;
    if (connection) {
        bool duplex = false;
        bool storage = false;
        BidiRequest requests[8];
        for (int i = 0; i < 8; ++i)
            requests[i].oid = kQueries[i].oid;
        if (connection->GetNext(requests, 8)) {
            result = kFeaturesRead;
            duplex = duplexFromMediaPath(requests);
            storage = jobStorageFound(requests);
        }
        BidiRequest deviceId(kDeviceIdOID);
        if (connection->Get(&deviceId, 1) && DeviceConfigurator::isText(deviceId)) {
            result = kFeaturesRead;
            duplex = duplexFromDeviceId(deviceId.value.text, duplex);
        }
        if (result == kFeaturesRead && sink) {
            sink->setDword(L"LumoDisableDuplex", duplex ? 0 : 1);
            sink->setDword(L"LumoDisableJobRetention", storage ? 0 : 1);
        }
    }
    WriteTrayDefaults(path, sink);
    return result;
}

bool FeatureAccessor::WriteTrayDefaults(PrintPath* path, DeviceSettings* sink)
{
    if (!path || !sink)
        return false;
    bool written = false;
    const Device& device = path->getDevice();
    for (auto it = device.pdlBegin(); it != device.pdlEnd(); ++it) {
        if ((*it)->getFamily() != kPdlFamilyPcl3)
            continue;
        for (int n = 1; n <= 2; ++n)
            writeTray(*sink, n, 3, L"Tray " + std::to_wstring(n));
        written = true;
    }
    return written;
}

uint32_t FeatureAccessor::queryAndClose(PrintPath* path, BidiPrinterConnectionIntf* connection, bool connected,
                                       DeviceSettings* sink)
{
    const uint32_t result = QueryFeatures(path, connected ? connection : nullptr, sink);
    if (connection && connected)
        connection->Close();
    return result;
}

} // namespace MPrint
