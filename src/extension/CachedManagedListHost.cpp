#include "extension/CachedManagedListHost.h"

#include "VagantUIExtension/AddressResolution.h"
#include "core/ComponentRegistry.h"
#include "core/ResourceLoader.h"
#include "extension/CachedFileReader.h"
#include "extension/DeviceConfiguration.h"
#include "extension/JobAccountingSettings.h"
#include "extension/JobDeliverySettings.h"
#include "extension/PrintPathVerification.h"

namespace MPrint {

bool CachedManagedListHost::readThroughCache(const std::wstring& location, std::string& bytes, DWORD* status,
                                             DWORD timeoutMs)
{
    CachedFileReader reader;
    return reader.read(location.c_str(), bytes, status, timeoutMs);
}

bool CachedManagedListHost::readList(const std::wstring& location, std::string& bytes, DWORD* status,
                                     DWORD timeoutMs)
{
    return readThroughCache(location, bytes, status, timeoutMs);
}

void CachedManagedListHost::forgetCachedList(const std::wstring& location)
{
    CachedFileReader reader;
    reader.removeCachedFile(location.c_str());
}

void CachedManagedListHost::setRefreshTime(const std::wstring& location, DWORD value)
{
    CachedFileReader reader;
    reader.setRefreshTime(location.c_str(), value);
}

PrintPath* CachedManagedListHost::findPrintPath(const std::wstring& address, const std::wstring& name)
{
    // A list is read on a worker thread that owns no window, so the wait
    // cursor (about 0.16 ms a record under Wine) would show nothing.
    return resolveAddressThroughServices(nullptr, address, name, name);
}

bool CachedManagedListHost::acceptModel(const char* model)
{
    return updateDeviceVerifySetting(nullptr, model ? model : "");
}

void CachedManagedListHost::setPrinterInfoText(PrintPath& path, const std::wstring& model,
                                               const std::wstring& address)
{
    MPrint::setPrinterInfoText(&path, model, address);
}

std::wstring CachedManagedListHost::loadString(UINT id)
{
    return ComponentRegistry::getResourceLoader().loadString(id);
}

void CachedManagedListHost::applyJobDelivery(const ManagedPrinterRecord& record, PrintPath& path)
{
    JobDeliverySettings::setManagedListAttributes(&record, &path);
}

void CachedManagedListHost::applyJobAccounting(const ManagedPrinterRecord& record, PrintPath& path)
{
    JobAccountingSettings::setManagedListAttributes(&record, &path);
}

} // namespace MPrint
