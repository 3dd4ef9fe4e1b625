#include "core/AutoLock.h"

#include "core/SyncObject.h"

namespace MPrint {

AutoLock::AutoLock(SyncObject* object) : object_(object)
{
    if (object_)
        object_->lock();
}

AutoLock::~AutoLock()
{
    if (object_)
        object_->unlock();
}

} // namespace MPrint
