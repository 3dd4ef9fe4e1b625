// An emulated network device's raw print ports: TCP listeners on the given
// ports (9100, 9101, 9102...) of one loopback address chosen at random per
// process (another is tried when a port is taken). Each connection is
// accepted, counted per port and closed; a receiving device first reads
// what the client sends until it closes its side (at most 16 MB a port).
#pragma once

#include "core/Win32.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testenv {

class RawPortDevice {
public:
    explicit RawPortDevice(const std::vector<unsigned short>& ports, bool receiving = false);
    ~RawPortDevice();
    RawPortDevice(const RawPortDevice&) = delete;
    RawPortDevice& operator=(const RawPortDevice&) = delete;

    bool started() const { return !listeners_.empty(); }
    // Dotted ("127.23.4.5").
    std::wstring host() const;
    // Connections accepted on a port so far.
    size_t count(unsigned short port) const;
    // Waits (at most timeoutMs) until the port has seen at least n connections.
    bool waitFor(unsigned short port, size_t n, DWORD timeoutMs) const;
    // Bytes of the connections a receiving device closed on that port, in order.
    std::string received(unsigned short port) const;
    // Waits (at most timeoutMs) until that many connections were read to their end.
    bool waitForClosed(unsigned short port, size_t n, DWORD timeoutMs) const;

private:
    bool listen(unsigned long address, const std::vector<unsigned short>& ports);
    void acceptLoop();
    void closeAll();
    void readClient(size_t index);

    bool winsock_ = false;
    unsigned long address_ = 0;
    std::vector<std::pair<SOCKET, unsigned short>> listeners_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex lock_; // guards counts_, received_ and closed_
    mutable std::condition_variable closedChanged_;
    std::map<unsigned short, size_t> counts_;
    bool receiving_ = false;
    struct Client {
        SOCKET socket;
        unsigned short port;
        std::string bytes;
    };
    std::vector<Client> clients_; // the accept thread's own
    std::map<unsigned short, std::string> received_;
    std::map<unsigned short, size_t> closed_;
};

} // namespace testenv
