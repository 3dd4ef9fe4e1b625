// The shared part of every discovery service: results owned by the list and
// announced to the notify window, from the window's thread and from a
// worker, and cancellation between results.
#include "core/Runnable.h"
#include "core/Thread.h"
#include "discovery/DiscoveryServiceIntf.h"
#include "support/FakeDiscoveryService.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <vector>

using MPrint::DiscoveryServiceIntf;
using MPrint::PrintPath;

namespace {

const GUID kService = {0x4d8a1e52, 0x93b0, 0x4f0c, {0xb1, 0x6e, 0x27, 0x5a, 0x90, 0x3c, 0x11, 0x07}};

int livePaths = 0;

class CountingPath : public PrintPath {
public:
    CountingPath() { ++livePaths; }
    ~CountingPath() override { --livePaths; }
};

struct Received {
    WPARAM wParam;
    LPARAM lParam;
    DWORD threadId;
    size_t listSize;
};

// State of the notify window, read by its window procedure.
std::vector<Received> received;
PrintPathList* watchedList = nullptr;
DiscoveryServiceIntf* cancelOnFirst = nullptr;

LRESULT CALLBACK notifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        received.push_back({wParam, lParam, GetCurrentThreadId(), watchedList ? watchedList->size() : 0});
        if (cancelOnFirst)
            cancelOnFirst->RequestCancel();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class NotifyWindow {
public:
    NotifyWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = notifyProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"DiscoveryServiceIntfTestNotify";
        RegisterClassW(&wc);
        handle = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                                 nullptr);
    }
    ~NotifyWindow() { DestroyWindow(handle); }
    HWND handle;
};

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        received.clear();
        watchedList = nullptr;
        cancelOnFirst = nullptr;
        livePaths = 0;
    }
};

} // namespace

TEST_F(ServiceTest, ResultsBelongToTheListAndAreAnnouncedOnce)
{
    fakes::FakeDiscoveryService service(kService, {});
    NotifyWindow window;
    ASSERT_NE(window.handle, nullptr);
    {
        PrintPathList list;
        watchedList = &list;
        service.AddResult(nullptr, list, new CountingPath);
        EXPECT_TRUE(received.empty()) << "no window, no message";

        auto* announced = new CountingPath;
        service.AddResult(window.handle, list, announced);
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(LOWORD(received[0].wParam), DiscoveryServiceIntf::kResultCommand);
        EXPECT_EQ(HIWORD(received[0].wParam), 0);
        EXPECT_EQ(received[0].lParam, reinterpret_cast<LPARAM>(announced));
        EXPECT_EQ(received[0].listSize, 2u) << "the path is in the list when the window hears of it";
        EXPECT_EQ(list.back().get(), announced);

        service.AddResult(window.handle, list, nullptr);
        EXPECT_EQ(list.size(), 2u);
        EXPECT_EQ(livePaths, 2);
        watchedList = nullptr;
    }
    EXPECT_EQ(livePaths, 0) << "the list deletes its paths, the service does not";
}

namespace {

class SearchRunnable : public MPrint::Runnable {
public:
    SearchRunnable(DiscoveryServiceIntf& service, HWND window, PrintPathList& list)
        : service_(service), window_(window), list_(list)
    {
    }
    void run() override { code = service_.Search(window_, nullptr, list_, 8 | 32); }
    uint32_t code = 0xFFFFFFFF;

private:
    DiscoveryServiceIntf& service_;
    HWND window_;
    PrintPathList& list_;
};

// Pumps the test thread's messages until the worker ends (bounded).
bool pumpUntilDone(MPrint::Thread& worker)
{
    const DWORD begin = GetTickCount();
    HANDLE handle = worker.getHandle();
    while (GetTickCount() - begin < 10000) {
        if (MsgWaitForMultipleObjects(1, &handle, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0)
            return true;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    return false;
}

} // namespace

TEST_F(ServiceTest, WorkerSearchReachesTheWindowOnItsOwnThreadAndCanBeCancelled)
{
    fakes::FakeServiceConfig config;
    config.searchResults = 3;
    fakes::FakeDiscoveryService service(kService, config);
    service.SetEnabled(true);
    ASSERT_EQ(service.Start(), 0u);
    NotifyWindow window;
    ASSERT_EQ(service.SetNotifyWindow(window.handle), window.handle);

    struct Row {
        const char* name;
        bool cancelBefore;
        bool cancelOnFirst;
        uint32_t code;
        size_t results;
    } rows[] = {
        {"plain search", false, false, 0, 3},
        {"cancel requested before the search is cleared", true, false, 0, 3},
        {"cancel during the search", false, true, DiscoveryServiceIntf::kCancelled, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        received.clear();
        PrintPathList list;
        if (row.cancelBefore) {
            EXPECT_FALSE(service.RequestCancel());
            EXPECT_TRUE(service.IsCancelled());
        }
        cancelOnFirst = row.cancelOnFirst ? &service : nullptr;
        auto* search = new SearchRunnable(service, window.handle, list);
        MPrint::Thread worker(search);
        ASSERT_TRUE(worker.start());
        ASSERT_TRUE(pumpUntilDone(worker));
        EXPECT_EQ(search->code, row.code);
        EXPECT_EQ(list.size(), row.results);
        ASSERT_EQ(received.size(), row.results);
        for (const Received& r : received)
            EXPECT_EQ(r.threadId, GetCurrentThreadId()) << "the window's own thread handles the message";
    }
}

TEST_F(ServiceTest, InitializeKeepsAnOwnCopyOfTheLoaderAndTheContext)
{
    fakes::FakeDiscoveryService service(kService, {});
    int context = 0;
    {
        MPrint::ResourceLoader loader(testenv::binDir() + L"\\vrelm102.DLL");
        loader.setLanguage(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
        EXPECT_EQ(service.Initialize(loader, &context), 0u);
    }
    EXPECT_EQ(service.getContext(), &context);
    EXPECT_TRUE(service.getResourceLoader().isOwned());
    EXPECT_EQ(service.getResourceLoader().loadString(18), L"Drucker suchen")
        << "the copy's module outlives the original loader";
}
