#include "support/HttpTestServer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace testenv {

namespace {

// Every wait polls in slices this long, so that the server notices a stop.
constexpr int kSliceMs = 20;
constexpr size_t kMaxHeaderBytes = 64 * 1024;
constexpr size_t kMaxBodyBytes = 16 * 1024 * 1024;

bool readable(SOCKET s, int timeoutMs)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
}

bool sendAll(SOCKET s, const std::string& data)
{
    size_t sent = 0;
    while (sent < data.size()) {
        const int chunk = static_cast<int>(std::min<size_t>(data.size() - sent, 64 * 1024));
        const int n = send(s, data.data() + sent, chunk, 0);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool equalsNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

const char* reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

std::string statusAndHeaders(const HttpAnswer& answer, const std::string& framing)
{
    std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + reason(answer.status) + "\r\n";
    head += framing;
    head += "Connection: close\r\n";
    for (const auto& [name, value] : answer.headers)
        head += name + ": " + value + "\r\n";
    return head + "\r\n";
}

} // namespace

std::string HttpRequest::header(const std::string& name) const
{
    for (const auto& [key, value] : headers)
        if (equalsNoCase(key, name))
            return value;
    return {};
}

HttpAnswer HttpAnswer::ok(std::string body, std::string contentType)
{
    HttpAnswer answer;
    answer.body = std::move(body);
    answer.headers.emplace_back("Content-Type", std::move(contentType));
    return answer;
}

HttpAnswer HttpAnswer::withStatus(int status, std::string body)
{
    HttpAnswer answer;
    answer.status = status;
    answer.body = std::move(body);
    return answer;
}

HttpAnswer HttpAnswer::silent()
{
    HttpAnswer answer;
    answer.kind = Kind::Silent;
    return answer;
}

HttpAnswer HttpAnswer::closeAtOnce()
{
    HttpAnswer answer;
    answer.kind = Kind::Close;
    return answer;
}

HttpAnswer HttpAnswer::raw(std::string bytes)
{
    HttpAnswer answer;
    answer.kind = Kind::Raw;
    answer.body = std::move(bytes);
    return answer;
}

HttpAnswer HttpAnswer::trickle(std::string head, DWORD intervalMs)
{
    HttpAnswer answer;
    answer.kind = Kind::Trickle;
    answer.body = std::move(head);
    answer.trickleMs = intervalMs;
    return answer;
}

HttpAnswer HttpAnswer::chunked(std::string body, size_t pieceBytes, std::string contentType)
{
    HttpAnswer answer = ok(std::move(body), std::move(contentType));
    answer.kind = Kind::Chunked;
    answer.pieceBytes = pieceBytes == 0 ? 1 : pieceBytes;
    return answer;
}

HttpTestServer::HttpTestServer(unsigned short port, unsigned long listenAddress) : address_(listenAddress)
{
    WSADATA data;
    winsock_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!winsock_)
        return;
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(address_);
    address.sin_port = htons(port);
    // A fixed port may still hold connections of an earlier run in TIME_WAIT.
    const BOOL reuse = TRUE;
    if (port != 0)
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof(reuse));
    int length = sizeof(address);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener_, SOMAXCONN) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

HttpTestServer::~HttpTestServer()
{
    stopping_ = true;
    if (acceptThread_.joinable())
        acceptThread_.join();
    // No new connection threads start once the accept loop has ended.
    std::vector<std::thread> connections;
    {
        std::lock_guard<std::mutex> guard(lock_);
        connections.swap(connections_);
    }
    for (std::thread& connection : connections)
        connection.join();
    if (listener_ != INVALID_SOCKET)
        closesocket(listener_);
    if (winsock_)
        WSACleanup();
}

std::wstring dottedAddress(unsigned long address)
{
    return std::to_wstring((address >> 24) & 0xFF) + L"." + std::to_wstring((address >> 16) & 0xFF) + L"." +
           std::to_wstring((address >> 8) & 0xFF) + L"." + std::to_wstring(address & 0xFF);
}

std::wstring HttpTestServer::host() const { return dottedAddress(address_); }

std::wstring HttpTestServer::url(const std::string& pathAndQuery) const
{
    return L"http://" + host() + L":" + std::to_wstring(port_) + std::wstring(pathAndQuery.begin(), pathAndQuery.end());
}

void HttpTestServer::answer(const std::string& path, HttpAnswer answer)
{
    std::lock_guard<std::mutex> guard(lock_);
    answers_[path] = std::move(answer);
}

void HttpTestServer::setHandler(Handler handler)
{
    std::lock_guard<std::mutex> guard(lock_);
    handler_ = std::move(handler);
}

std::vector<HttpRequest> HttpTestServer::requests() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

size_t HttpTestServer::count(const std::string& path) const
{
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<size_t>(std::count_if(requests_.begin(), requests_.end(),
                                             [&](const HttpRequest& r) { return r.path == path; }));
}

void HttpTestServer::clearRequests()
{
    std::lock_guard<std::mutex> guard(lock_);
    requests_.clear();
}

unsigned short HttpTestServer::closedPort()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 0;
    unsigned short port = 0;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s != INVALID_SOCKET) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(address);
        if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        closesocket(s);
    }
    WSACleanup();
    return port;
}

void HttpTestServer::acceptLoop()
{
    while (!stopping_) {
        if (!readable(listener_, kSliceMs))
            continue;
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            continue;
        std::lock_guard<std::mutex> guard(lock_);
        connections_.emplace_back([this, client] { serve(client); });
    }
}

bool HttpTestServer::readRequest(SOCKET client, HttpRequest& request)
{
    std::string data;
    size_t headerEnd = std::string::npos;
    char buffer[4096];
    while (!stopping_) {
        if (!readable(client, kSliceMs))
            continue;
        const int n = recv(client, buffer, sizeof(buffer), 0);
        if (n <= 0)
            return false;
        data.append(buffer, static_cast<size_t>(n));
        // A TLS record of type handshake (22): the client wants https.
        if (data[0] == '\x16') {
            request.tls = true;
            return true;
        }
        headerEnd = data.find("\r\n\r\n");
        if (headerEnd != std::string::npos)
            break;
        if (data.size() > kMaxHeaderBytes)
            return false;
    }
    if (headerEnd == std::string::npos)
        return false;

    size_t lineEnd = data.find("\r\n");
    const std::string requestLine = data.substr(0, lineEnd);
    const size_t space1 = requestLine.find(' ');
    const size_t space2 = requestLine.find(' ', space1 == std::string::npos ? 0 : space1 + 1);
    if (space1 == std::string::npos || space2 == std::string::npos)
        return false;
    request.method = requestLine.substr(0, space1);
    const std::string target = requestLine.substr(space1 + 1, space2 - space1 - 1);
    const size_t question = target.find('?');
    request.path = target.substr(0, question);
    if (question != std::string::npos)
        request.query = target.substr(question + 1);

    size_t contentLength = 0;
    while (lineEnd < headerEnd) {
        const size_t start = lineEnd + 2;
        lineEnd = data.find("\r\n", start);
        const std::string line = data.substr(start, lineEnd - start);
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        request.headers.emplace_back(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
        if (equalsNoCase(request.headers.back().first, "Content-Length"))
            contentLength = std::strtoul(request.headers.back().second.c_str(), nullptr, 10);
    }
    if (contentLength > kMaxBodyBytes)
        return false;
    request.body = data.substr(headerEnd + 4);
    while (request.body.size() < contentLength && !stopping_) {
        if (!readable(client, kSliceMs))
            continue;
        const int n = recv(client, buffer, sizeof(buffer), 0);
        if (n <= 0)
            return false;
        request.body.append(buffer, static_cast<size_t>(n));
    }
    request.body.resize(std::min(request.body.size(), contentLength));
    return true;
}

HttpAnswer HttpTestServer::answerFor(const HttpRequest& request)
{
    Handler handler;
    {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.push_back(request);
        const auto found = answers_.find(request.path);
        if (found != answers_.end())
            return found->second;
        handler = handler_;
    }
    // Outside the lock: a handler may ask the server what it has seen.
    return handler ? handler(request) : HttpAnswer::withStatus(404);
}

void HttpTestServer::waitForPeer(SOCKET client, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    char buffer[4096];
    while (!stopping_ && GetTickCount() - start < timeoutMs) {
        if (!readable(client, kSliceMs))
            continue;
        if (recv(client, buffer, sizeof(buffer), 0) <= 0)
            return;
    }
}

void HttpTestServer::serve(SOCKET client)
{
    HttpRequest request;
    if (!readRequest(client, request)) {
        closesocket(client);
        return;
    }
    const HttpAnswer answer = answerFor(request);
    if (request.tls) {
        closesocket(client);
        return;
    }
    switch (answer.kind) {
    case HttpAnswer::Kind::Close:
        break;
    case HttpAnswer::Kind::Silent:
        waitForPeer(client, INFINITE);
        break;
    case HttpAnswer::Kind::Raw:
        if (sendAll(client, answer.body)) {
            shutdown(client, SD_SEND);
            waitForPeer(client, 2000);
        }
        break;
    case HttpAnswer::Kind::Trickle:
        if (sendAll(client, answer.body)) {
            // Ends when the client closes (the wait returns early) or the server stops.
            for (;;) {
                const DWORD start = GetTickCount();
                waitForPeer(client, answer.trickleMs);
                if (stopping_ || GetTickCount() - start < answer.trickleMs || !sendAll(client, "x"))
                    break;
            }
        }
        break;
    case HttpAnswer::Kind::Chunked: {
        const std::string head = statusAndHeaders(answer, "Transfer-Encoding: chunked\r\n");
        bool sent = sendAll(client, head);
        for (size_t at = 0; sent && at < answer.body.size(); at += answer.pieceBytes) {
            const std::string piece = answer.body.substr(at, answer.pieceBytes);
            char size[32];
            std::snprintf(size, sizeof(size), "%zx\r\n", piece.size());
            sent = sendAll(client, size + piece + "\r\n");
            // Each piece on its own, so the client sees the body arrive in parts.
            Sleep(1);
        }
        if (sent && sendAll(client, "0\r\n\r\n")) {
            shutdown(client, SD_SEND);
            waitForPeer(client, 2000);
        }
        break;
    }
    case HttpAnswer::Kind::Respond: {
        const std::string head =
            statusAndHeaders(answer, "Content-Length: " + std::to_string(answer.body.size()) + "\r\n");
        if (sendAll(client, head + answer.body)) {
            // Let the client read everything before the socket goes away:
            // closing with unread input would reset the connection.
            shutdown(client, SD_SEND);
            waitForPeer(client, 2000);
        }
        break;
    }
    }
    closesocket(client);
}

} // namespace testenv
