#include "support/TestSpooler.h"

#include "support/TestEnv.h"

#include <cwchar>

namespace testspool {

const SpoolerControlApi* control()
{
    static SpoolerControlApi api;
    static const bool loaded = api.load();
    return loaded ? &api : nullptr;
}

std::wstring uniqueQueueName(const std::wstring& base)
{
    // Wine hands a process id out again soon after its process ended, and a
    // process that was killed left its queues behind: the id alone would
    // meet them. The start time tells two processes of one id apart.
    static const std::wstring process = [] {
        FILETIME created{}, exited{}, kernel{}, user{};
        GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
        wchar_t tag[16] = {};
        swprintf(tag, 16, L".%05lX", static_cast<unsigned long>((created.dwLowDateTime >> 12) & 0xFFFFF));
        return std::to_wstring(GetCurrentProcessId()) + tag;
    }();
    static LONG counter = 0;
    return base + L" " + process + L"-" + std::to_wstring(InterlockedIncrement(&counter));
}

ScopedQueue::ScopedQueue(const std::wstring& name, const std::wstring& driver, const std::wstring& port,
                         DWORD attributes)
    : name_(name)
{
    const SpoolerControlApi* api = control();
    error_ = api ? api->addQueue(name.c_str(), driver.c_str(), port.c_str(), attributes) : ERROR_PROC_NOT_FOUND;
}

ScopedQueue::~ScopedQueue()
{
    if (const SpoolerControlApi* api = control(); api && error_ == ERROR_SUCCESS)
        api->removeQueue(name_.c_str());
}

DWORD ScopedQueue::setString(const std::wstring& key, const std::wstring& value, const std::wstring& text) const
{
    const SpoolerControlApi* api = control();
    return api ? api->setQueueValue(name_.c_str(), key.empty() ? L"PrinterDriverData" : key.c_str(), value.c_str(),
                                    REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)))
               : ERROR_PROC_NOT_FOUND;
}

DWORD ScopedQueue::setDword(const std::wstring& key, const std::wstring& value, DWORD number) const
{
    const SpoolerControlApi* api = control();
    return api ? api->setQueueValue(name_.c_str(), key.empty() ? L"PrinterDriverData" : key.c_str(), value.c_str(),
                                    REG_DWORD, &number, sizeof(number))
               : ERROR_PROC_NOT_FOUND;
}

std::vector<std::string> ScopedCallLog::calls(const std::string& function) const
{
    std::vector<std::string> found;
    for (const std::string& line : lines()) {
        const size_t first = line.find('\t');
        if (first == std::string::npos)
            continue;
        const size_t second = line.find('\t', first + 1);
        if (line.compare(first + 1, second - first - 1, function) == 0)
            found.push_back(line);
    }
    return found;
}

ScopedUserRights::ScopedUserRights() : ScopedUserRights(L"user") {}

ScopedUserRights::ScopedUserRights(const wchar_t* level)
{
    SetEnvironmentVariableW(L"VRELM_SPOOLER_RIGHTS", level);
}

ScopedUserRights::~ScopedUserRights()
{
    SetEnvironmentVariableW(L"VRELM_SPOOLER_RIGHTS", nullptr);
}

} // namespace testspool
