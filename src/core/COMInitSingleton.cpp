#include "core/COMInitSingleton.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

COMInitSingleton* g_instance = nullptr;

// Built while the module loads, destroyed when it unloads.
COMInitSingleton g_comInit;

} // namespace

COMInitSingleton::COMInitSingleton()
{
    initializeLock();
    g_instance = this;
}

COMInitSingleton::~COMInitSingleton()
{
    g_instance = nullptr;
    for (DWORD i = rowCount_; i-- > 0;)
        delete rows_[i].wrapper;
    free(rows_);
    if (lock_) {
        DeleteCriticalSection(lock_);
        free(lock_);
    }
}

void COMInitSingleton::initializeLock()
{
    lock_ = static_cast<CRITICAL_SECTION*>(calloc(1, sizeof(CRITICAL_SECTION)));
    if (lock_)
        InitializeCriticalSection(lock_);
}

COMInitSingleton* COMInitSingleton::instance()
{
    return g_instance;
}

COMWrapper* COMInitSingleton::wrapperForCurrentThread()
{
    // Without a lock the table cannot be changed safely: share our own.
    if (!lock_)
        return this;
    const DWORD threadId = GetCurrentThreadId();
    COMWrapper* found = nullptr;
    bool known = false;
    EnterCriticalSection(lock_);
    for (DWORD i = rowCount_; i-- > 0;) {
        if (rows_[i].threadId == threadId) {
            found = rows_[i].wrapper;
            known = true;
            break;
        }
    }
    if (!known) {
        bool room = rowCount_ + 1 < rowCapacity_;
        if (!room) {
            auto* grown = static_cast<Row*>(calloc(rowCapacity_ + kRowGrowth, sizeof(Row)));
            if (grown) {
                if (rows_)
                    memcpy(grown, rows_, rowCount_ * sizeof(Row));
                free(rows_);
                rows_ = grown;
                rowCapacity_ += kRowGrowth;
                room = true;
            }
        }
        if (room) {
            // A row without a wrapper stays: the thread keeps using the
            // shared one, so that its initialisations are undone where made.
            found = new (std::nothrow) COMWrapper;
            if (found)
                found->tableRow_ = true;
            rows_[rowCount_++] = Row{threadId, found};
        }
    }
    LeaveCriticalSection(lock_);
    return found ? found : this;
}

void COMInitSingleton::dropRow(COMWrapper* wrapper)
{
    if (!lock_)
        return;
    const DWORD threadId = GetCurrentThreadId();
    bool dropped = false;
    EnterCriticalSection(lock_);
    for (DWORD i = rowCount_; i-- > 0;) {
        if (rows_[i].threadId == threadId && rows_[i].wrapper == wrapper) {
            rows_[i] = rows_[--rowCount_];
            dropped = true;
            break;
        }
    }
    LeaveCriticalSection(lock_);
    if (dropped)
        delete wrapper;
}

DWORD COMInitSingleton::rowCount() const
{
    if (!lock_)
        return 0;
    EnterCriticalSection(lock_);
    const DWORD count = rowCount_;
    LeaveCriticalSection(lock_);
    return count;
}

COMWrapper* getThreadCOMWrapper(const char* /*sourceFile*/, unsigned /*line*/)
{
    COMInitSingleton* singleton = COMInitSingleton::instance();
    return singleton ? singleton->wrapperForCurrentThread() : nullptr;
}
