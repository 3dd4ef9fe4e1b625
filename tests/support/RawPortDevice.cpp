#include "support/RawPortDevice.h"

#include "support/HttpTestServer.h"
#include "support/LoopbackAddress.h"

#include <chrono>

namespace testenv {

namespace {
constexpr size_t kMaxReceived = 16u << 20;
}

RawPortDevice::RawPortDevice(const std::vector<unsigned short>& ports, bool receiving) : receiving_(receiving)
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
    for (Client& client : clients_)
        closesocket(client.socket);
    clients_.clear();
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
        for (size_t i = 0; i < clients_.size() && i + listeners_.size() < FD_SETSIZE; ++i)
            FD_SET(clients_[i].socket, &readable);
        timeval wait{0, 50 * 1000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        for (size_t i = clients_.size(); i-- > 0;) {
            if (FD_ISSET(clients_[i].socket, &readable))
                readClient(i);
        }
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
            if (receiving_)
                clients_.push_back(Client{client, port, {}});
            else
                closesocket(client);
        }
    }
}

void RawPortDevice::readClient(size_t index)
{
    Client& client = clients_[index];
    char piece[16 * 1024];
    const int n = recv(client.socket, piece, sizeof(piece), 0);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK)
        return;
    if (n > 0) {
        if (client.bytes.size() + static_cast<size_t>(n) <= kMaxReceived) {
            client.bytes.append(piece, static_cast<size_t>(n));
            return;
        }
    }
    closesocket(client.socket);
    {
        std::lock_guard<std::mutex> guard(lock_);
        received_[client.port] += client.bytes;
        ++closed_[client.port];
    }
    closedChanged_.notify_all();
    clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(index));
}

std::string RawPortDevice::received(unsigned short port) const
{
    std::lock_guard<std::mutex> guard(lock_);
    auto it = received_.find(port);
    return it == received_.end() ? std::string() : it->second;
}

bool RawPortDevice::waitForClosed(unsigned short port, size_t n, DWORD timeoutMs) const
{
    // Woken by the close itself: a poll's period would be most of a short job's time.
    std::unique_lock<std::mutex> guard(lock_);
    return closedChanged_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
        auto it = closed_.find(port);
        return it != closed_.end() && it->second >= n;
    });
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
