#include "bidi/DestinationVerifyURL.h"

#include "core/InternetHelpers.h"

namespace {

// INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY.
constexpr DWORD kAccessPreconfigNoAutoProxy = 4;

} // namespace

bool DestinationVerifyURL::Verify()
{
    const std::wstring& url = address_.getString();
    if (url.empty() || !address_.isHttpUrl())
        return false;
    InternetHandle root(InternetOpenW(L"KRV", kAccessPreconfigNoAutoProxy, nullptr, nullptr, 0));
    if (!root)
        return false;
    DWORD timeout = kPhaseTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT})
        InternetSetOptionW(root.get(), option, &timeout, sizeof(timeout));
    InternetHandle connection;
    InternetHandle request(openUrlWithTimeouts(root.get(), url.c_str(), INTERNET_FLAG_NO_AUTO_REDIRECT, kPhaseTimeoutMs, connection));
    return static_cast<bool>(request);
}
