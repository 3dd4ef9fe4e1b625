// An emulated LEDM network device: a real HTTP/1.1 server on port 8080 of a
// loopback address chosen at random per process (127.0.0.0/8; another is
// tried when one is taken), serving a device model's documents from
// bin/devices/<model>: DiscoveryTree.xml and the DevMgmt resources of the
// current revision (rev1/ or rev2/). Bodies over 32 KB go out in chunks of
// 32 KB. Requests are counted per path. Used by tests in process and, through
// the ledmdevice program, by the demo.
#pragma once

#include "support/HttpTestServer.h"

#include <memory>
#include <string>

namespace testenv {

class LedmDevice {
public:
    static constexpr unsigned short kPort = 8080;
    static constexpr size_t kPieceBytes = 32 * 1024;

    // A model folder name under bin/devices, or a full path to one.
    explicit LedmDevice(const std::wstring& model = L"office-ledm", int revision = 1);
    LedmDevice(const LedmDevice&) = delete;
    LedmDevice& operator=(const LedmDevice&) = delete;

    bool started() const { return server_ && server_->started(); }
    // The device's address, dotted ("127.23.4.5").
    std::wstring host() const { return server_ ? server_->host() : std::wstring(); }

    void setRevision(int revision);
    // Every request answers 404, with an error page as body or with none.
    void setNotFound(bool on, bool withBody = false);
    // One path answers this instead of the model's document.
    void answer(const std::string& path, HttpAnswer answer);
    // Requests seen for a path ("/DevMgmt/MediaCap.xml").
    size_t count(const std::string& path) const;
    size_t total() const;

    // A loopback address on which nothing listens at the LEDM port.
    static std::wstring unusedHost();
    // bin/devices, the folder of the models.
    static std::wstring modelsDir();

private:
    HttpAnswer serve(const HttpRequest& request);

    std::wstring modelDir_;
    mutable std::mutex lock_;  // guards revision_, notFound_, notFoundBody_
    int revision_;
    bool notFound_ = false;
    bool notFoundBody_ = false;
    // Last: its threads call serve() until it is gone.
    std::unique_ptr<HttpTestServer> server_;
};

} // namespace testenv
