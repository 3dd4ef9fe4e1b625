// MPrint::Socket against real listeners on 127.0.0.1.
#include "core/Socket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

using MPrint::Socket;

namespace {

const int kPeerTimeoutMs = 5000;

// Binds to a free port of the given address (network order); returns the port.
unsigned bindAny(SOCKET s, ULONG address)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = address;
    if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0)
        return 0;
    int length = sizeof(local);
    getsockname(s, reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
}

// A one-connection TCP peer on 127.0.0.1 with a scripted behaviour.
class Peer {
public:
    enum class Mode { Echo, SendAfterShutdownThenClose, NeverClose };

    explicit Peer(Mode mode) : mode_(mode)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        port_ = bindAny(listener_, htonl(INADDR_LOOPBACK));
        listen(listener_, 1);
        thread_ = std::thread([this] { serve(); });
    }

    ~Peer()
    {
        stop_ = true;
        closesocket(listener_);
        thread_.join();
    }

    unsigned port() const { return port_; }
    size_t drainedBytesSent() const { return sent_; }

private:
    void serve()
    {
        // Serves one client after the other until the listener is closed.
        for (;;) {
            SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET)
                return;
            serveOne(client);
        }
    }

    void serveOne(SOCKET client)
    {
        char buffer[4096];
        int got = 0;
        switch (mode_) {
        case Mode::Echo:
            setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&kPeerTimeoutMs),
                       sizeof(kPeerTimeoutMs));
            while ((got = ::recv(client, buffer, sizeof(buffer), 0)) > 0)
                ::send(client, buffer, got, 0);
            break;
        case Mode::SendAfterShutdownThenClose: {
            while (::recv(client, buffer, sizeof(buffer), 0) > 0) {
            }
            // The client has shut its side: what follows must be drained.
            const std::string tail(10000, 'z');
            for (int i = 0; i < 5; ++i)
                sent_ += std::max(0, ::send(client, tail.data(), static_cast<int>(tail.size()), 0));
            break;
        }
        case Mode::NeverClose:
            while (!stop_)
                Sleep(20);
            break;
        }
        closesocket(client);
    }

    Socket::Initializer winsock_;
    Mode mode_;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<size_t> sent_{0};
};

unsigned refusedPort()
{
    // A port that was just free: bind, read it back, close.
    Socket::Initializer winsock;
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    const unsigned port = bindAny(s, htonl(INADDR_LOOPBACK));
    closesocket(s);
    return port;
}

} // namespace

TEST(Socket, InitializerStartsWinsock)
{
    Socket::Initializer winsock;
    EXPECT_TRUE(winsock.isStarted());
    EXPECT_EQ(0, winsock.getResult());
}

TEST(Socket, AddressFamilyOfAText)
{
    EXPECT_EQ(MPrint::getAddressFamily(nullptr), 0);
    EXPECT_EQ(MPrint::getAddressFamily(L"10.0.0.5"), AF_INET);
    EXPECT_EQ(MPrint::getAddressFamily(L"fe80::1"), AF_INET6);
    EXPECT_EQ(MPrint::getAddressFamily(L"printer1"), 0);
}

TEST(Socket, ConnectsSendsAndReceives)
{
    Socket::Initializer winsock;
    Peer peer(Peer::Mode::Echo);
    for (const char* host : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(host);
        Socket socket(host, peer.port());
        ASSERT_TRUE(socket.isConnected()) << socket.getLastError();
        EXPECT_EQ(peer.port(), socket.getPort());
        EXPECT_EQ(htonl(INADDR_LOOPBACK), socket.getAddress().sin_addr.s_addr);
        EXPECT_EQ(5, socket.send("hello", 5, 0));
        char buffer[16] = {};
        EXPECT_EQ(5, socket.recv(buffer, sizeof(buffer), 0));
        EXPECT_STREQ("hello", buffer);
        socket.close(true);
        EXPECT_FALSE(socket.isValid());
        EXPECT_EQ(0u, socket.getAddress().sin_addr.s_addr);
    }
}

TEST(Socket, DestinationsThatCannotBeReachedLeaveItInvalid)
{
    struct Row {
        std::string host;
        unsigned port;
        bool anyError;     // some lookup/address error
        int expectedError; // when not anyError
    } rows[] = {
        {"127.0.0.1", refusedPort(), false, WSAECONNREFUSED},
        {"255.255.255.255", 9100, true, 0},
        // Neither must fall through to 0.0.0.0, which Wine sends to the local host.
        {"", 9100, false, WSAEADDRNOTAVAIL},
        {"0.0.0.0", 9100, true, 0},
        {"no-such-printer.invalid", 9100, true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("host '" + row.host + "'");
        Socket socket(row.host, row.port);
        EXPECT_FALSE(socket.isValid());
        EXPECT_FALSE(socket.isConnected());
        EXPECT_EQ(0u, socket.getAddress().sin_addr.s_addr);
        EXPECT_EQ(0, socket.getAddress().sin_port);
        if (row.anyError) {
            EXPECT_NE(0, socket.getLastError());
            EXPECT_NE(WSAECONNREFUSED, socket.getLastError());
        } else {
            EXPECT_EQ(row.expectedError, socket.getLastError());
        }
    }
}

TEST(Socket, UnresolvableHostDoesNotReachALocalListener)
{
    // A listener on every local address would take a connect to 0.0.0.0.
    Socket::Initializer winsock;
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const unsigned port = bindAny(listener, INADDR_ANY);
    ASSERT_NE(0u, port);
    listen(listener, 1);
    Socket socket("no-such-printer.invalid", port);
    EXPECT_FALSE(socket.isConnected());
    closesocket(listener);
}

TEST(Socket, CloseDrainsWhatThePeerStillSends)
{
    Peer peer(Peer::Mode::SendAfterShutdownThenClose);
    Socket socket("127.0.0.1", peer.port());
    ASSERT_TRUE(socket.isConnected());
    socket.close(true);
    EXPECT_FALSE(socket.isValid());
    EXPECT_EQ(50000u, peer.drainedBytesSent());
}

TEST(Socket, DrainOfAPeerThatNeverClosesIsBounded)
{
    Peer peer(Peer::Mode::NeverClose);
    const ULONGLONG start = GetTickCount64();
    {
        Socket socket("127.0.0.1", peer.port());
        ASSERT_TRUE(socket.isConnected());
    }
    const ULONGLONG took = GetTickCount64() - start;
    EXPECT_GE(took, Socket::kDrainLimitMs - 100);
    EXPECT_LT(took, Socket::kDrainLimitMs + 2000);
}

TEST(Socket, OptionsRoundTrip)
{
    Peer peer(Peer::Mode::Echo);
    Socket socket("127.0.0.1", peer.port());
    ASSERT_TRUE(socket.isConnected());

    bool on = false;
    EXPECT_EQ(0, socket.setKeepAlive(true));
    EXPECT_EQ(0, socket.getKeepAlive(on));
    EXPECT_TRUE(on);
    EXPECT_EQ(0, socket.setNoDelay(true));
    EXPECT_EQ(0, socket.getNoDelay(on));
    EXPECT_TRUE(on);
    EXPECT_EQ(0, socket.setNoDelay(false));
    EXPECT_EQ(0, socket.getNoDelay(on));
    EXPECT_FALSE(on);

    int value = 0;
    EXPECT_EQ(0, socket.setReceiveTimeout(750));
    EXPECT_EQ(0, socket.getReceiveTimeout(value));
    EXPECT_EQ(750, value);
    EXPECT_EQ(0, socket.setReceiveBufferSize(32768));
    EXPECT_EQ(0, socket.getReceiveBufferSize(value));
    EXPECT_GE(value, 32768);
    EXPECT_EQ(0, socket.setSendBufferSize(32768));
    EXPECT_EQ(0, socket.getSendBufferSize(value));
    EXPECT_GE(value, 32768);

    EXPECT_EQ(0, socket.setLinger(true, 7));
    EXPECT_EQ(0, socket.getLinger(value));
    EXPECT_EQ(7, value);
    EXPECT_EQ(0, socket.setLinger(false, 0));
    EXPECT_EQ(0, socket.getLinger(value));
    EXPECT_EQ(-1, value);

    // A closed socket answers with an error and keeps it.
    socket.close(false);
    EXPECT_EQ(SOCKET_ERROR, socket.getKeepAlive(on));
    EXPECT_EQ(WSAENOTSOCK, socket.getLastError());
}
