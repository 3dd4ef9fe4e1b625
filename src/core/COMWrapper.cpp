#include "core/COMWrapper.h"

#include "core/COMInitSingleton.h"

#include <cstdlib>
#include <cstring>
#include <utility>

COMWrapper::~COMWrapper()
{
    // Only at unload with initialisations still recorded: the object's
    // server may already be gone, so its reference is abandoned, not released.
    kept_.Detach();
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
    // The kept object dies while the apartment it relies on still stands.
    if (kept_ && count_ <= keptDepth_) {
        kept_.Reset();
        keptDepth_ = 0;
    }
    Entry& top = entries_[count_ - 1];
    if (SUCCEEDED(top.result) && !top.undone) {
        top.undone = 1;
        CoUninitialize();
    }
    --count_;
    top.result = static_cast<HRESULT>(0xBAADF00D);
    top.tick = 0xBAADF00D;
    top.undone = 1;
    if (count_ == 0 && tableRow_) {
        // Last use on this thread: the table deletes this wrapper.
        if (COMInitSingleton* table = COMInitSingleton::instance())
            table->dropRow(this);
    }
    return true;
}

bool COMWrapper::keep(Microsoft::WRL::ComPtr<IUnknown> object)
{
    const DWORD depth = innermostSuccess();
    if (!object || kept_ || depth == 0)
        return false;
    kept_ = std::move(object);
    keptDepth_ = depth;
    return true;
}

Microsoft::WRL::ComPtr<IUnknown> COMWrapper::takeKept()
{
    keptDepth_ = 0;
    return std::move(kept_);
}

DWORD COMWrapper::innermostSuccess() const
{
    for (DWORD i = count_; i-- > 0;) {
        if (SUCCEEDED(entries_[i].result) && !entries_[i].undone)
            return i + 1;
    }
    return 0;
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
