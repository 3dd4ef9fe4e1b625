#include "shared/CKRVOs.h"

#include "core/Win32.h"

CKRVOs::CKRVOs()
{
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    static_assert(sizeof(OSVERSIONINFOEXW) == 284);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
#pragma GCC diagnostic pop
        isServer_ = version.wProductType == VER_NT_DOMAIN_CONTROLLER || version.wProductType == VER_NT_SERVER;
}
