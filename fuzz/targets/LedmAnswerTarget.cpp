// Answers of an LEDM device, status line and headers included, to the probe
// and to a resource fetch whose tree then goes into a device ticket. The
// input goes out byte for byte from the emulated device.
#include "FuzzTarget.h"

#include "support/LedmDevice.h"
#include "tickets/DeviceTicketLEDM.h"

#include <memory>

namespace {

class LedmAnswerTarget : public fuzz::FuzzTarget {
public:
    bool setUp() override { return restart(); }

    void run(const std::string& input) override
    {
        // The server keeps a thread and a record per connection until it
        // stops: a fresh one now and then keeps a long run's memory flat.
        if (++count_ % 100 == 0 && !restart())
            return;
        device_->answer("/DevMgmt/ProductConfigDyn.xml", testenv::HttpAnswer::raw(input));
        MPrint::DeviceTicketLEDM ticket;
        if (!ticket.open(device_->host()))
            return;
        std::wstring text;
        ticket.getValue(L"/prdcfgdyn:ProductConfigDyn/prdcfgdyn:ProductInformation/dd:MakeAndModel", text, true);
        DWORD count = 0;
        ticket.getChildCount(L"/prdcfgdyn:ProductConfigDyn/prdcfgdyn:ProductInformation", count);
    }

    std::vector<std::string> dictionary() const override
    {
        return {"HTTP/1.1 200 OK\r\n", "HTTP/1.1 404 Not Found\r\n", "Content-Length: ",
                "Content-Length: 409602\r\n", "Transfer-Encoding: chunked\r\n", "ffffffff\r\n", "0\r\n\r\n",
                "\r\n\r\n", "<prdcfgdyn:ProductConfigDyn xmlns:prdcfgdyn=\"urn:a\" xmlns:dd=\"urn:b\">",
                "<prdcfgdyn:ProductInformation>", "<dd:MakeAndModel>", "encoding=\"UTF-16\"", "<!DOCTYPE a ["};
    }

private:
    bool restart()
    {
        device_.reset();
        device_ = std::make_unique<testenv::LedmDevice>();
        return device_->started();
    }

    std::unique_ptr<testenv::LedmDevice> device_;
    unsigned count_ = 0;
};

} // namespace

FUZZ_TARGET(LedmAnswerTarget, "ledm-answer", fuzz::InputShape::Text);
