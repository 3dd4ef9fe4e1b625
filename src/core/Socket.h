// One Winsock socket: a TCP client connected at construction, or a raw
// socket of any family and type. Failures never throw; they show through
// isValid, isConnected and getLastError. Each socket holds one reference on
// Winsock's start count through its Initializer.
#pragma once

#include "core/Win32.h"

#include <string>

namespace MPrint {

class Socket {
public:
    // Pairs WSAStartup(2.0) with WSACleanup for the object's lifetime.
    class Initializer {
    public:
        Initializer();
        virtual ~Initializer();
        Initializer(const Initializer&) = delete;
        Initializer& operator=(const Initializer&) = delete;
        bool isStarted() const { return result_ == 0; }
        int getResult() const { return result_; }

    private:
        int result_;
        WSADATA data_;
    };

    Socket(int family, int type, int protocol);
    // IPv4 TCP client: resolves the host and connects. A host that cannot be
    // resolved leaves the socket invalid with the lookup's error.
    Socket(const std::string& host, unsigned port);
    virtual ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool isValid() const { return handle_ != INVALID_SOCKET; }
    bool isConnected() const { return isValid() && connected_; }
    SOCKET getHandle() const { return handle_; }
    unsigned getPort() const { return port_; }
    const std::string& getHost() const { return host_; }
    int getLastError() const { return lastError_; }
    const sockaddr_in& getAddress() const { return address_; }

    // Shuts the sending side of a connected socket down and, when drain is
    // true, discards what the peer still sends until it closes, for at most
    // kDrainLimitMs; then closes.
    void close(bool drain);

    int send(const char* buffer, int length, int flags);
    int recv(char* buffer, int length, int flags);

    int getKeepAlive(bool& on);
    int setKeepAlive(bool on);
    int getNoDelay(bool& on);
    int setNoDelay(bool on);
    int getReceiveBufferSize(int& size);
    int setReceiveBufferSize(int size);
    int getSendBufferSize(int& size);
    int setSendBufferSize(int size);
    int getReceiveTimeout(int& milliseconds);
    int setReceiveTimeout(int milliseconds);
    // The linger time when lingering is on, else -1.
    int getLinger(int& seconds);
    int setLinger(bool on, int seconds);
    int getOption(int level, int name, char* buffer, int& length);
    int setOption(int level, int name, const char* buffer, int length);

    static constexpr DWORD kDrainLimitMs = 1500;

private:
    int getBool(int level, int name, bool& on);
    int setBool(int level, int name, bool on);
    int getInt(int level, int name, int& value);
    int setInt(int level, int name, int value);
    void fail();
    void abandon();

    Initializer initializer_; // first member: started before the socket, cleaned up after it
    SOCKET handle_ = INVALID_SOCKET;
    std::string host_;
    unsigned port_ = 0;
    sockaddr_in address_{};
    int lastError_ = 0;
    bool connected_ = false;
};

// AF_INET (2) or AF_INET6 (23) when WSAStringToAddressW takes the text as
// such an address, else 0.
int getAddressFamily(const wchar_t* text);

} // namespace MPrint
