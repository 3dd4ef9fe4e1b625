// Replies of the Keravin monitor's pipe, as a hostile or broken monitor may
// send them. The first byte picks the request (store printer data, add a
// printer, a printer command, a data exchange after a refused spooler
// open); the rest holds one reply per pipe connection, split by "RPLY".
// A reply shorter than its request is completed with the request's own
// bytes, unless the first byte's top bit asks for it to be cut short. A
// connection past the last reply gets a plain success.
#include "FuzzTarget.h"
#include "InputParts.h"

#include "monitorbase/PipeServer.h"
#include "destination/MonitorChannel.h"
#include "destination/PrinterDataValues.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

constexpr wchar_t kPipe[] = L"\\\\.\\pipe\\QZKRVMon";
constexpr DWORD kHeader = 56;

class MonitorReplyTarget : public fuzz::FuzzTarget {
public:
    ~MonitorReplyTarget() override
    {
        if (stop_) {
            SetEvent(stop_);
            if (server_.joinable())
                server_.join();
            CloseHandle(stop_);
        }
        if (ready_)
            CloseHandle(ready_);
    }

    bool setUp() override
    {
        // The spooler stand-in refuses the open, so exchanges go over the pipe.
        SetEnvironmentVariableW(L"VRELM_SPOOLER_RIGHTS", L"user");
        stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!stop_ || !ready_)
            return false;
        server_ = std::thread([this] {
            const bool served = qzmon::acceptPipeClients(kPipe, {stop_}, [this] { SetEvent(ready_); },
                                                         [this](HANDLE pipe) {
                                                             serve(pipe);
                                                             qzmon::endClient(pipe);
                                                         });
            if (!served)
                SetEvent(ready_);
        });
        return WaitForSingleObject(ready_, 10000) == WAIT_OBJECT_0;
    }

    void run(const std::string& input) override
    {
        const unsigned char choice = input.empty() ? 0 : static_cast<unsigned char>(input[0]);
        {
            std::lock_guard<std::mutex> guard(lock_);
            replies_ = input.size() > 1 ? fuzz::splitParts(input.substr(1), "RPLY") : std::vector<std::string>();
            nextReply_ = 0;
            cutShort_ = (choice & 0x80) != 0;
        }
        MonitorChannel channel(L"QZ Keravin Print Monitor");
        switch (choice % 4) {
        case 0: {
            MPrint::PrinterDataValues values;
            values.addString(L"Fuzz", L"value");
            values.addDword(L"FuzzNumber", 7);
            channel.setPrinterData(L"Fuzz Queue", &values);
            break;
        }
        case 1:
            channel.addPrinter(L"Fuzz Queue", L"FuzzPort:");
            break;
        case 2:
            channel.sendPrinterCommand(9, L"Fuzz Queue", L"argument");
            break;
        default: {
            if (!channel.openMonitor())
                break;
            const BYTE request[] = {1, 2, 3, 4};
            BYTE answer[64];
            DWORD needed = 0;
            channel.xcvData(L"GetStatus", request, sizeof(request), answer, sizeof(answer), &needed);
            channel.xcvData(L"Bare", nullptr, 0, nullptr, 0, nullptr);
            channel.close();
            break;
        }
        }
    }

private:
    void serve(HANDLE pipe)
    {
        std::vector<BYTE> message(kHeader);
        if (!qzmon::pipeTransfer(pipe, message.data(), kHeader, false, 3000))
            return;
        DWORD total = 0;
        std::memcpy(&total, message.data() + 4, sizeof(total));
        if (total < kHeader || total > (1u << 20))
            return;
        message.resize(total);
        if (!qzmon::pipeTransfer(pipe, message.data() + kHeader, total - kHeader, false, 3000))
            return;
        std::string reply;
        bool cutShort = false;
        bool scripted = false;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (nextReply_ < replies_.size()) {
                reply = replies_[nextReply_++];
                scripted = true;
                cutShort = cutShort_;
            }
        }
        if (!scripted) {
            const DWORD success = 1;
            std::memcpy(message.data() + 16, &success, sizeof(success));
        } else {
            std::memcpy(message.data(), reply.data(), std::min<size_t>(reply.size(), total));
        }
        const DWORD size = cutShort && reply.size() < total ? static_cast<DWORD>(reply.size()) : total;
        if (size && !qzmon::pipeTransfer(pipe, message.data(), size, true, 3000))
            return;
        if (size < total) {
            // The client waits for the rest: hang up once it has read what there is.
            FlushFileBuffers(pipe);
            return;
        }
        qzmon::waitForClientClose(pipe, 3000);
    }

    HANDLE stop_ = nullptr;
    HANDLE ready_ = nullptr;
    std::thread server_;
    std::mutex lock_; // guards the replies
    std::vector<std::string> replies_;
    size_t nextReply_ = 0;
    bool cutShort_ = false;
};

} // namespace

FUZZ_TARGET(MonitorReplyTarget, "monitor-reply", fuzz::InputShape::Bytes);
