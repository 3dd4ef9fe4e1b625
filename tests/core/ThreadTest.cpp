// Worker threads and locks: joins from every side, ownership of the
// runnable, and the start/join/delete sequence that owners rely on.
#include "core/AutoLock.h"
#include "core/Runnable.h"
#include "core/SyncObject.h"
#include "core/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

using MPrint::AutoLock;
using MPrint::Runnable;
using MPrint::SyncObject;
using MPrint::Thread;

namespace {

// Records what happened to it, so that a test can see whether it ran to the
// end before it was deleted.
struct Record {
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    std::atomic<int> deleted{0};
    std::atomic<int> deletedBeforeFinish{0};
};

class RecordingRunnable : public Runnable {
public:
    explicit RecordingRunnable(Record& record, HANDLE release = nullptr) : record_(record), release_(release) {}
    ~RecordingRunnable() override
    {
        if (record_.finished.load() != record_.started.load() || record_.started.load() == 0)
            ++record_.deletedBeforeFinish;
        ++record_.deleted;
    }
    void run() override
    {
        ++record_.started;
        if (release_)
            WaitForSingleObject(release_, 10000);
        ++record_.finished;
    }

private:
    Record& record_;
    HANDLE release_;
};

struct Event {
    HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Event() { CloseHandle(handle); }
};

} // namespace

TEST(Thread, NeverStartedJoinsAtOnceAndDeletesOnlyItsRunnable)
{
    Record record;
    {
        Thread thread(new RecordingRunnable(record));
        EXPECT_FALSE(thread.isRunning());
        EXPECT_TRUE(thread.join(0));
        EXPECT_TRUE(thread.join());
        EXPECT_FALSE(thread.suspend());
        EXPECT_EQ(thread.getHandle(), INVALID_HANDLE_VALUE);
    }
    EXPECT_EQ(record.started.load(), 0);
    EXPECT_EQ(record.deleted.load(), 1);

    Thread empty;
    ASSERT_TRUE(empty.start());
    EXPECT_TRUE(empty.join());
    EXPECT_FALSE(empty.isRunning());
}

TEST(Thread, FiniteJoinFailsWhileRunningAndInfiniteJoinWaits)
{
    Record record;
    Event release;
    Thread thread(new RecordingRunnable(record, release.handle));
    ASSERT_TRUE(thread.start());
    EXPECT_EQ(thread.getLastError(), 0);
    EXPECT_NE(thread.getThreadId(), 0u);
    EXPECT_TRUE(thread.isRunning());
    EXPECT_FALSE(thread.join(50));
    EXPECT_FALSE(thread.start()) << "a second start would run the runnable twice";

    SetEvent(release.handle);
    EXPECT_TRUE(thread.join());
    EXPECT_FALSE(thread.isRunning());
    EXPECT_EQ(record.finished.load(), 1);
    EXPECT_TRUE(thread.join(0)) << "joining an ended thread again";
}

TEST(Thread, SuspendAndResumeReachTheWorker)
{
    Record record;
    Event release;
    Thread thread(new RecordingRunnable(record, release.handle));
    ASSERT_TRUE(thread.start());
    ASSERT_TRUE(thread.suspend());
    SetEvent(release.handle);
    EXPECT_FALSE(thread.join(100)) << "a suspended worker cannot finish";
    ASSERT_TRUE(thread.resume());
    EXPECT_TRUE(thread.join(10000));
}

namespace {

class SelfJoiningThread : public Thread {
public:
    void run() override
    {
        DWORD before = GetTickCount();
        joinedFinite = join(5000);
        joinedInfinite = join();
        elapsed = GetTickCount() - before;
    }
    std::atomic<bool> joinedFinite{false};
    std::atomic<bool> joinedInfinite{false};
    std::atomic<DWORD> elapsed{0};
};

class ThrowingRunnable : public Runnable {
public:
    explicit ThrowingRunnable(std::atomic<int>& deleted) : deleted_(deleted) {}
    ~ThrowingRunnable() override { ++deleted_; }
    void run() override { throw std::runtime_error("worker failure"); }

private:
    std::atomic<int>& deleted_;
};

} // namespace

TEST(Thread, JoinFromInsideRunReturnsAtOnce)
{
    SelfJoiningThread thread;
    ASSERT_TRUE(thread.start());
    ASSERT_TRUE(thread.join(10000));
    EXPECT_TRUE(thread.joinedFinite.load());
    EXPECT_TRUE(thread.joinedInfinite.load());
    EXPECT_LT(thread.elapsed.load(), 1000u);
}

TEST(Thread, ExceptionInRunEndsTheWorkerQuietly)
{
    std::atomic<int> deleted{0};
    {
        Thread thread(new ThrowingRunnable(deleted));
        ASSERT_TRUE(thread.start());
        EXPECT_TRUE(thread.join(10000));
        EXPECT_FALSE(thread.isRunning());
        EXPECT_EQ(deleted.load(), 0);
    }
    EXPECT_EQ(deleted.load(), 1);
}

// The owner's usual sequence. The runnable must have run to its end before
// the owner's delete reaches it; a join that returns before the worker has
// begun would let the delete come first.
TEST(Thread, StartJoinDeleteNeverDeletesAnUnfinishedRunnable)
{
    Record record;
    const int rounds = 300;
    for (int i = 0; i < rounds; ++i) {
        Thread* thread = new Thread(new RecordingRunnable(record));
        ASSERT_TRUE(thread->start());
        ASSERT_TRUE(thread->join());
        delete thread;
    }
    EXPECT_EQ(record.started.load(), rounds);
    EXPECT_EQ(record.finished.load(), rounds);
    EXPECT_EQ(record.deleted.load(), rounds);
    EXPECT_EQ(record.deletedBeforeFinish.load(), 0);
}

namespace {

class LockingRunnable : public Runnable {
public:
    LockingRunnable(SyncObject& lock, std::atomic<bool>& entered) : lock_(lock), entered_(entered) {}
    void run() override
    {
        AutoLock guard(&lock_);
        entered_ = true;
    }

private:
    SyncObject& lock_;
    std::atomic<bool>& entered_;
};

} // namespace

TEST(AutoLock, ExcludesOtherThreadsAndReleasesOnException)
{
    SyncObject lock;
    std::atomic<bool> entered{false};
    Thread other(new LockingRunnable(lock, entered));
    try {
        AutoLock guard(&lock);
        AutoLock again(&lock); // the owner may enter again
        ASSERT_TRUE(other.start());
        EXPECT_FALSE(other.join(100)) << "the other thread got in while the lock was held";
        EXPECT_FALSE(entered.load());
        throw std::runtime_error("leave the scope");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(other.join(10000));
    EXPECT_TRUE(entered.load());
}
