#include "core/COMWrapper.h"

#include <cstdlib>
#include <cstring>

COMWrapper::~COMWrapper()
{
    free(entries_);
}

HRESULT COMWrapper::initialize()
{
    const HRESULT result = CoInitialize(nullptr);
    push(result);
    return result;
}

HRESULT COMWrapper::initializeEx(void* reserved, DWORD flags)
{
    const HRESULT result = CoInitializeEx(reserved, flags);
    push(result);
    return result;
}

bool COMWrapper::uninitialize()
{
    if (count_ == 0)
        return false;
    Entry& top = entries_[count_ - 1];
    if (SUCCEEDED(top.result) && !top.undone) {
        top.undone = 1;
        CoUninitialize();
    }
    --count_;
    top.result = static_cast<HRESULT>(0xBAADF00D);
    top.tick = 0xBAADF00D;
    top.undone = 1;
    return true;
}

void COMWrapper::push(HRESULT result)
{
    if (count_ + 1 >= capacity_) {
        // A push that cannot grow the record is dropped.
        auto* grown = static_cast<Entry*>(calloc(capacity_ + kGrowth, sizeof(Entry)));
        if (!grown)
            return;
        if (entries_)
            memcpy(grown, entries_, count_ * sizeof(Entry));
        free(entries_);
        entries_ = grown;
        capacity_ += kGrowth;
    }
    entries_[count_] = Entry{result, 0, GetTickCount()};
    ++count_;
}
