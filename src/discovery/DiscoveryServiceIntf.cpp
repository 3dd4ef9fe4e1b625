#include "discovery/DiscoveryServiceIntf.h"

namespace MPrint {

DiscoveryServiceIntf::~DiscoveryServiceIntf() = default;

uint32_t DiscoveryServiceIntf::Initialize(const ResourceLoader& loader, void* context)
{
    loader_ = loader;
    context_ = context;
    return 0;
}

HWND DiscoveryServiceIntf::SetNotifyWindow(HWND window)
{
    notifyWindow_ = window;
    return window;
}

void DiscoveryServiceIntf::AddResult(HWND window, PrintPathList& list, PrintPath* path)
{
    if (!path)
        return;
    {
        QZAutoPtr<PrintPath> holder(path);
        list.push_back(holder);
    } // the list's copy is the owner from here
    if (window)
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(kResultCommand, 0), reinterpret_cast<LPARAM>(path));
}

bool DiscoveryServiceIntf::RequestCancel()
{
    cancel_ = true;
    return false;
}

bool DiscoveryServiceIntf::IsCancelled()
{
    return cancel_;
}

} // namespace MPrint
