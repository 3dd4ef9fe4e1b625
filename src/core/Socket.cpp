#include "core/Socket.h"

#include <cstring>

namespace MPrint {

Socket::Initializer::Initializer() : data_{}
{
    result_ = WSAStartup(MAKEWORD(2, 0), &data_);
}

Socket::Initializer::~Initializer()
{
    if (result_ == 0)
        WSACleanup();
}

Socket::Socket(int family, int type, int protocol)
{
    handle_ = ::socket(family, type, protocol);
    if (handle_ == INVALID_SOCKET)
        fail();
}

Socket::Socket(const std::string& host, unsigned port) : host_(host), port_(port)
{
    handle_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (handle_ == INVALID_SOCKET) {
        fail();
        return;
    }

    address_.sin_family = AF_INET;
    address_.sin_port = htons(static_cast<u_short>(port));
    ULONG resolved = INADDR_NONE;
    if (host.empty()) {
        // 0.0.0.0 is no destination: Windows refuses it, while Wine hands it
        // to Linux, which connects to the local host. Refuse it here.
        lastError_ = WSAEADDRNOTAVAIL;
    } else if (host == "255.255.255.255") {
        resolved = INADDR_BROADCAST;
    } else if ((resolved = inet_addr(host.c_str())) == INADDR_NONE) {
        if (const hostent* entry = gethostbyname(host.c_str());
            entry && entry->h_addrtype == AF_INET && entry->h_addr_list && entry->h_addr_list[0]) {
            std::memcpy(&resolved, entry->h_addr_list[0], sizeof(resolved));
        } else {
            // Stop at the failed lookup rather than connecting to 0.0.0.0,
            // which could make an unknown printer look reachable.
            fail();
            if (lastError_ == 0)
                lastError_ = WSAHOST_NOT_FOUND;
        }
    }
    if (resolved == INADDR_NONE || resolved == INADDR_ANY) {
        if (lastError_ == 0) {
            fail();
            if (lastError_ == 0)
                lastError_ = WSAEADDRNOTAVAIL;
        }
        abandon();
        return;
    }
    address_.sin_addr.s_addr = resolved;

    if (::connect(handle_, reinterpret_cast<const sockaddr*>(&address_), sizeof(address_)) == SOCKET_ERROR) {
        fail();
        abandon();
        return;
    }
    connected_ = true;
}

Socket::~Socket()
{
    if (isValid())
        close(true);
}

void Socket::fail()
{
    lastError_ = WSAGetLastError();
}

void Socket::abandon()
{
    closesocket(handle_);
    handle_ = INVALID_SOCKET;
    connected_ = false;
    std::memset(&address_, 0, sizeof(address_));
}

void Socket::close(bool drain)
{
    if (!isValid())
        return;
    if (connected_) {
        shutdown(handle_, SD_SEND);
        if (drain) {
            // A peer that never closes must not hold the caller: bound the drain.
            const ULONGLONG deadline = GetTickCount64() + kDrainLimitMs;
            char buffer[1024];
            for (;;) {
                const ULONGLONG now = GetTickCount64();
                if (now >= deadline)
                    break;
                const ULONGLONG remaining = deadline - now;
                fd_set readable;
                FD_ZERO(&readable);
                FD_SET(handle_, &readable);
                timeval wait{static_cast<long>(remaining / 1000), static_cast<long>((remaining % 1000) * 1000)};
                if (select(0, &readable, nullptr, nullptr, &wait) <= 0)
                    break;
                const int got = ::recv(handle_, buffer, sizeof(buffer), 0);
                if (got == 0 || got == SOCKET_ERROR)
                    break;
            }
        }
    }
    abandon();
}

int Socket::send(const char* buffer, int length, int flags)
{
    const int result = ::send(handle_, buffer, length, flags);
    if (result == SOCKET_ERROR)
        fail();
    return result;
}

int Socket::recv(char* buffer, int length, int flags)
{
    const int result = ::recv(handle_, buffer, length, flags);
    if (result == SOCKET_ERROR)
        fail();
    return result;
}

int Socket::getOption(int level, int name, char* buffer, int& length)
{
    const int result = getsockopt(handle_, level, name, buffer, &length);
    if (result == SOCKET_ERROR)
        fail();
    return result;
}

int Socket::setOption(int level, int name, const char* buffer, int length)
{
    const int result = setsockopt(handle_, level, name, buffer, length);
    if (result == SOCKET_ERROR)
        fail();
    return result;
}

int Socket::getInt(int level, int name, int& value)
{
    int raw = 0;
    int length = sizeof(raw);
    const int result = getOption(level, name, reinterpret_cast<char*>(&raw), length);
    if (result == 0)
        value = raw;
    return result;
}

int Socket::setInt(int level, int name, int value)
{
    return setOption(level, name, reinterpret_cast<const char*>(&value), sizeof(value));
}

int Socket::getBool(int level, int name, bool& on)
{
    int value = 0;
    const int result = getInt(level, name, value);
    if (result == 0)
        on = value != 0;
    return result;
}

int Socket::setBool(int level, int name, bool on)
{
    return setInt(level, name, on ? 1 : 0);
}

int Socket::getKeepAlive(bool& on) { return getBool(SOL_SOCKET, SO_KEEPALIVE, on); }
int Socket::setKeepAlive(bool on) { return setBool(SOL_SOCKET, SO_KEEPALIVE, on); }
int Socket::getNoDelay(bool& on) { return getBool(IPPROTO_TCP, TCP_NODELAY, on); }
int Socket::setNoDelay(bool on) { return setBool(IPPROTO_TCP, TCP_NODELAY, on); }
int Socket::getReceiveBufferSize(int& size) { return getInt(SOL_SOCKET, SO_RCVBUF, size); }
int Socket::setReceiveBufferSize(int size) { return setInt(SOL_SOCKET, SO_RCVBUF, size); }
int Socket::getSendBufferSize(int& size) { return getInt(SOL_SOCKET, SO_SNDBUF, size); }
int Socket::setSendBufferSize(int size) { return setInt(SOL_SOCKET, SO_SNDBUF, size); }
int Socket::getReceiveTimeout(int& milliseconds) { return getInt(SOL_SOCKET, SO_RCVTIMEO, milliseconds); }
int Socket::setReceiveTimeout(int milliseconds) { return setInt(SOL_SOCKET, SO_RCVTIMEO, milliseconds); }

int Socket::getLinger(int& seconds)
{
    linger value{};
    int length = sizeof(value);
    const int result = getOption(SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&value), length);
    if (result == 0)
        seconds = value.l_onoff ? value.l_linger : -1;
    return result;
}

int Socket::setLinger(bool on, int seconds)
{
    linger value{};
    value.l_onoff = on ? 1 : 0;
    value.l_linger = static_cast<u_short>(seconds);
    return setOption(SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&value), sizeof(value));
}

int getAddressFamily(const wchar_t* text)
{
    if (!text)
        return 0;
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 0;
    int family = 0;
    if (data.wVersion == MAKEWORD(2, 2)) {
        std::wstring copy = text;  // the call takes a writable text
        for (int candidate : {AF_INET, AF_INET6}) {
            BYTE buffer[128] = {};
            INT size = sizeof(buffer);
            if (WSAStringToAddressW(copy.data(), candidate, nullptr, reinterpret_cast<sockaddr*>(buffer), &size) ==
                0) {
                family = reinterpret_cast<sockaddr*>(buffer)->sa_family;
                break;
            }
        }
    }
    WSACleanup();
    return family;
}

} // namespace MPrint
