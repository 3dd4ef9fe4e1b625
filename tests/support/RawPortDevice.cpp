#include "support/RawPortDevice.h"

#include "support/HttpTestServer.h"
#include "support/LoopbackAddress.h"

namespace testenv {

RawPortDevice::RawPortDevice(const std::vector<unsigned short>& ports)
{
    WSADATA data;
    winsock_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!winsock_)
        return;
    std::mt19937 random = seededRandom();
    for (int attempt = 0; attempt < kLoopbackBindTries; ++attempt) {
        if (listen(randomLoopback(random), ports))
            break;
    }
    if (started())
        thread_ = std::thread(&RawPortDevice::acceptLoop, this);
}

RawPortDevice::~RawPortDevice()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    closeAll();
    if (winsock_)
        WSACleanup();
}

void RawPortDevice::closeAll()
{
    for (auto& [socket, port] : listeners_)
        closesocket(socket);
    listeners_.clear();
}

bool RawPortDevice::listen(unsigned long address, const std::vector<unsigned short>& ports)
{
    for (unsigned short port : ports) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET) {
            closeAll();
            return false;
        }
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(address);
        at.sin_port = htons(port);
        if (bind(s, reinterpret_cast<sockaddr*>(&at), sizeof(at)) != 0 || ::listen(s, 16) != 0) {
            closesocket(s);
            closeAll();
            return false;
        }
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        listeners_.emplace_back(s, port);
    }
    address_ = address;
    return true;
}

void RawPortDevice::acceptLoop()
{
    while (!stopping_) {
        fd_set readable;
        FD_ZERO(&readable);
        for (auto& [socket, port] : listeners_)
            FD_SET(socket, &readable);
        timeval wait{0, 50 * 1000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        for (auto& [socket, port] : listeners_) {
            if (!FD_ISSET(socket, &readable))
                continue;
            SOCKET client = accept(socket, nullptr, nullptr);
            if (client == INVALID_SOCKET)
                continue;
            {
                std::lock_guard<std::mutex> guard(lock_);
                ++counts_[port];
            }
            closesocket(client);
        }
    }
}

std::wstring RawPortDevice::host() const
{
    return address_ ? dottedAddress(address_) : std::wstring();
}

size_t RawPortDevice::count(unsigned short port) const
{
    std::lock_guard<std::mutex> guard(lock_);
    auto it = counts_.find(port);
    return it == counts_.end() ? 0 : it->second;
}

bool RawPortDevice::waitFor(unsigned short port, size_t n, DWORD timeoutMs) const
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (count(port) < n) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(10);
    }
    return true;
}

} // namespace testenv
