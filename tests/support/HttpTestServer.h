// A scripted HTTP/1.1 server inside the test process, for code that talks
// to web servers, devices and policy servers. It listens on a loopback
// address (127.0.0.1 unless told another), on a port the system picks or a
// fixed one, answers each connection once and closes it,
// and records every request it saw. Answers are set per path (the query is
// not part of the path); a path without one gets 404 with an empty body.
#pragma once

#include "core/Win32.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testenv {

// An IPv4 address in host byte order as dotted text ("127.0.0.1").
std::wstring dottedAddress(unsigned long address);

struct HttpRequest {
    std::string method;
    std::string path;  // as sent, before any '?'
    std::string query; // after the first '?', without it
    std::vector<std::pair<std::string, std::string>> headers; // in order, as sent
    std::string body;  // by Content-Length
    bool tls = false;  // the client began a TLS handshake; nothing else was read

    // The first header of that name (case-insensitive); empty when absent.
    std::string header(const std::string& name) const;
};

struct HttpAnswer {
    enum class Kind {
        Respond, // status, headers and body, then close
        Silent,  // read the request, answer nothing, hold the connection open
        Close,   // read the request, close the connection without a byte
        Raw,     // body sent as it stands (status line and headers too), then close
        Trickle, // body sent as it stands, then one byte more every trickleMs until either side ends
        Chunked, // status and headers, then the body in chunks of pieceBytes, each sent on its own
    };
    Kind kind = Kind::Respond;
    int status = 200;
    std::string body; // sent as is; may hold NUL bytes
    std::vector<std::pair<std::string, std::string>> headers; // besides Content-Length and Connection
    DWORD trickleMs = 0;
    size_t pieceBytes = 0;

    // A hostile answer: the bytes go out exactly as given, so the test
    // writes the status line and headers (a wrong Content-Length, say).
    static HttpAnswer raw(std::string bytes);
    // A server that never finishes: head, then a byte at a time.
    static HttpAnswer trickle(std::string head, DWORD intervalMs);

    // A body in Transfer-Encoding: chunked, one send per piece.
    static HttpAnswer chunked(std::string body, size_t pieceBytes, std::string contentType = "text/xml");

    static HttpAnswer ok(std::string body, std::string contentType = "text/xml");
    static HttpAnswer withStatus(int status, std::string body = {});
    static HttpAnswer silent();
    static HttpAnswer closeAtOnce();
};

class HttpTestServer {
public:
    using Handler = std::function<HttpAnswer(const HttpRequest&)>;

    // Starts listening at once, on the given port or (0) one the system
    // picks, at the given IPv4 loopback address (host byte order);
    // started() tells whether that worked.
    explicit HttpTestServer(unsigned short port = 0, unsigned long address = INADDR_LOOPBACK);
    // Ends every connection, silent ones included, and joins the threads.
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    bool started() const { return port_ != 0; }
    unsigned short port() const { return port_; }
    // The address listened on, dotted ("127.0.0.1").
    std::wstring host() const;
    // "http://<host>:<port>" followed by pathAndQuery ("/list?x=1").
    std::wstring url(const std::string& pathAndQuery) const;

    void answer(const std::string& path, HttpAnswer answer);
    // Asked for paths without an answer of their own (for answers that
    // change from one request to the next).
    void setHandler(Handler handler);

    std::vector<HttpRequest> requests() const;
    size_t count(const std::string& path) const;
    void clearRequests();

    // A loopback port on which nothing listens (bound, then released).
    static unsigned short closedPort();

private:
    void acceptLoop();
    void serve(SOCKET client);
    bool readRequest(SOCKET client, HttpRequest& request);
    HttpAnswer answerFor(const HttpRequest& request);
    // Waits for the client to close or the server to stop, at most timeoutMs.
    void waitForPeer(SOCKET client, DWORD timeoutMs);

    bool winsock_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    unsigned long address_ = INADDR_LOOPBACK;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;

    mutable std::mutex lock_; // guards everything below
    std::map<std::string, HttpAnswer> answers_;
    Handler handler_;
    std::vector<HttpRequest> requests_;
    std::vector<std::thread> connections_;
};

} // namespace testenv
