#include "VagantUIExtension/ManagedListSource.h"

#include "core/ReplaceableSet.h"

namespace MPrint {

namespace {

ReplaceableSet<ManagedListSource> g_installed;

} // namespace

bool ManagedListSource::hasPolicy()
{
    return false;
}

bool ManagedListSource::getString(const wchar_t*, std::wstring&)
{
    return false;
}

bool ManagedListSource::getDword(const wchar_t*, DWORD&)
{
    return false;
}

std::wstring ManagedListSource::getPolicyServer()
{
    return std::wstring();
}

bool ManagedListSource::readList(const std::wstring&, std::string&, DWORD*, DWORD)
{
    return false;
}

ManagedListSource& ManagedListSource::current()
{
    return g_installed.current();
}

void ManagedListSource::set(ManagedListSource* source)
{
    g_installed.set(source);
}

} // namespace MPrint
