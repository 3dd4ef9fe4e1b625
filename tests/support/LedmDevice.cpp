#include "support/LedmDevice.h"

#include "support/LoopbackAddress.h"
#include "support/TestEnv.h"

namespace testenv {

std::wstring LedmDevice::modelsDir() { return binDir() + L"\\devices"; }

LedmDevice::LedmDevice(const std::wstring& model, int revision) : revision_(revision)
{
    const bool fullPath = model.find_first_of(L"\\/:") != std::wstring::npos;
    modelDir_ = fullPath ? model : modelsDir() + L"\\" + model;
    std::mt19937 random = seededRandom();
    for (int attempt = 0; attempt < kLoopbackBindTries; ++attempt) {
        auto server = std::make_unique<HttpTestServer>(kPort, randomLoopback(random));
        if (server->started()) {
            server_ = std::move(server);
            break;
        }
    }
    if (server_)
        server_->setHandler([this](const HttpRequest& request) { return serve(request); });
}

void LedmDevice::setRevision(int revision)
{
    std::lock_guard<std::mutex> guard(lock_);
    revision_ = revision;
}

void LedmDevice::setNotFound(bool on, bool withBody)
{
    std::lock_guard<std::mutex> guard(lock_);
    notFound_ = on;
    notFoundBody_ = withBody;
}

void LedmDevice::answer(const std::string& path, HttpAnswer answer)
{
    if (server_)
        server_->answer(path, std::move(answer));
}

size_t LedmDevice::count(const std::string& path) const { return server_ ? server_->count(path) : 0; }

size_t LedmDevice::total() const { return server_ ? server_->requests().size() : 0; }

HttpAnswer LedmDevice::serve(const HttpRequest& request)
{
    int revision;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (notFound_)
            return HttpAnswer::withStatus(
                404, notFoundBody_ ? "<html><body><h1>404 Not Found</h1></body></html>" : std::string());
        revision = revision_;
    }
    const std::string prefix = "/DevMgmt/";
    if (request.method != "GET" || request.path.compare(0, prefix.size(), prefix) != 0)
        return HttpAnswer::withStatus(404);
    const std::string name = request.path.substr(prefix.size());
    // Plain names only: nothing outside the model's folder is served.
    if (name.empty() || name.find_first_of("/\\:") != std::string::npos || name.find("..") != std::string::npos)
        return HttpAnswer::withStatus(404);
    const std::wstring file(name.begin(), name.end());
    const std::wstring path = name == "DiscoveryTree.xml"
                                  ? modelDir_ + L"\\" + file
                                  : modelDir_ + L"\\rev" + std::to_wstring(revision) + L"\\" + file;
    std::string body = readFile(path);
    if (body.empty())
        return HttpAnswer::withStatus(404);
    if (body.size() > kPieceBytes)
        return HttpAnswer::chunked(std::move(body), kPieceBytes);
    return HttpAnswer::ok(std::move(body));
}

std::wstring LedmDevice::unusedHost()
{
    std::mt19937 random = seededRandom();
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return {};
    std::wstring host;
    for (int attempt = 0; attempt < kLoopbackBindTries && host.empty(); ++attempt) {
        const unsigned long address = randomLoopback(random);
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET)
            break;
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(address);
        at.sin_port = htons(kPort);
        // Free to bind means nobody listens there.
        if (bind(s, reinterpret_cast<sockaddr*>(&at), sizeof(at)) == 0)
            host = dottedAddress(address);
        closesocket(s);
    }
    WSACleanup();
    return host;
}

} // namespace testenv
