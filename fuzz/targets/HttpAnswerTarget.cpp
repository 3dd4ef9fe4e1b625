// Answers of a web server (policy server, managed list) to a download: the
// input goes out byte for byte, status line and headers included, from the
// loopback test server on a port the system picked.
#include "FuzzTarget.h"

#include "core/InternetHelpers.h"
#include "support/HttpTestServer.h"

#include <cctype>
#include <cstring>
#include <memory>

namespace {

// The answer as sent. No input may send the download anywhere but back to
// this server: every header naming "location" is renamed, and when there was
// one a redirect to a relative path of this server takes its place.
// Authentication headers are renamed too, so that no scheme reaches out for
// credentials.
std::string sanitized(const std::string& input)
{
    std::string out = input;
    bool hadLocation = false;
    auto rename = [&](const char* word, size_t changeAt, char replacement) {
        const size_t length = std::strlen(word);
        for (size_t i = 0; i + length <= out.size(); ++i) {
            size_t j = 0;
            while (j < length && std::tolower(static_cast<unsigned char>(out[i + j])) == word[j])
                ++j;
            if (j == length) {
                out[i + changeAt] = replacement;
                if (word[0] == 'l')
                    hadLocation = true;
            }
        }
    };
    rename("location", 5, '1');
    rename("authenticate", 6, '1');
    if (hadLocation) {
        const size_t lineEnd = out.find('\n');
        out.insert(lineEnd == std::string::npos ? out.size() : lineEnd + 1,
                   std::string("Location: /next") + static_cast<char>('0' + input.size() % 10) + "\r\n");
    }
    return out;
}

class HttpAnswerTarget : public fuzz::FuzzTarget {
public:
    bool setUp() override { return restart(); }

    void run(const std::string& input) override
    {
        // The server keeps a thread and a record per connection until it
        // stops: a fresh one now and then keeps a long run's memory flat.
        if (++count_ % 200 == 0 && !restart())
            return;
        answer_ = sanitized(input);
        std::string body;
        DWORD status = 0;
        httpGetToString(server_->url("/fuzz").c_str(), body, &status, 2000);
        server_->clearRequests();
    }

    std::vector<std::string> dictionary() const override
    {
        return {"HTTP/1.1 200 OK\r\n", "HTTP/1.0 302 Found\r\n", "HTTP/1.1 100 Continue\r\n\r\n",
                "Content-Length: ", "Content-Length: 4294967296\r\n", "Content-Length: -1\r\n",
                "Transfer-Encoding: chunked\r\n", "Content-Encoding: gzip\r\n", "Location: /next\r\n",
                "Connection: keep-alive\r\n", "Content-Type: text/xml; charset=utf-16\r\n", "\r\n\r\n",
                "0\r\n\r\n", "ffffffff\r\n", "Set-Cookie: a=b\r\n", "HTTP/1.1 304 Not Modified\r\n"};
    }

private:
    bool restart()
    {
        server_.reset();
        server_ = std::make_unique<testenv::HttpTestServer>();
        server_->setHandler([this](const testenv::HttpRequest&) { return testenv::HttpAnswer::raw(answer_); });
        return server_->started();
    }

    std::unique_ptr<testenv::HttpTestServer> server_;
    std::string answer_; // read by the server's thread while run() waits for the download
    unsigned count_ = 0;
};

} // namespace

FUZZ_TARGET(HttpAnswerTarget, "http-answer", fuzz::InputShape::Text);
