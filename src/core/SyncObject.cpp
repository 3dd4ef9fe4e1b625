#include "core/SyncObject.h"

namespace MPrint {

SyncObject::SyncObject()
{
    InitializeCriticalSection(&section_);
}

SyncObject::~SyncObject()
{
    DeleteCriticalSection(&section_);
}

void SyncObject::lock()
{
    EnterCriticalSection(&section_);
}

void SyncObject::unlock()
{
    LeaveCriticalSection(&section_);
}

} // namespace MPrint
