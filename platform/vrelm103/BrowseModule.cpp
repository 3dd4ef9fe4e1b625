// Stand-in for the maker's TCP/IP browse module. StartDiscovery reads the
// file named by VRELM_BROWSE_RECORDS and plays it on a thread of its own:
// first event 2 with the search's handle, then event 1 per record. A browse
// (no instance name) then waits for its time-out or StopDiscovery; a
// resolution (an instance name) plays only the records of that name and
// ends as soon as one was delivered, else at its time-out.
//
// The file, one item a line ('#' starts a comment):
//   name|ipv4|model|domain|type|comment|location[|tag|size]
//       a record; "-" for a field gives a null text; tag (hex) and size
//       default to the module's tag and 80;
//   pause <ms>
//       the records before it went out as one answer; StopDiscovery is
//       honoured only here, as a module reading its next answer would.
// VRELM_BROWSE_LOG, when set, names a file that gets a line per call:
//   "start <type> <domain|-> <instance|-> <timeout>", "stop <1|0>".
#include "discovery/TcpBrowseExports.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Item {
    bool pause = false;
    DWORD pauseMs = 0;
    std::vector<std::string> fields; // 7 texts, "-" for null
    uint32_t tag = tcpbrowse::kRecordTag;
    uint32_t size = tcpbrowse::kRecordSizeWithTexts;
};

struct Search {
    HANDLE stop = nullptr;     // manual reset
    HANDLE resolved = nullptr; // manual reset
};

std::mutex liveLock; // guards live
std::set<Search*> live;

std::string environment(const char* name)
{
    char value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(value, length);
}

void record(const std::string& line)
{
    const std::string path = environment("VRELM_BROWSE_LOG");
    if (path.empty())
        return;
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string text = line + "\n";
    DWORD done = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
    CloseHandle(file);
}

std::vector<std::string> split(const std::string& line, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = line.find(separator, start);
        parts.push_back(line.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

std::vector<Item> readItems()
{
    std::vector<Item> items;
    const std::string path = environment("VRELM_BROWSE_RECORDS");
    FILE* file = path.empty() ? nullptr : fopen(path.c_str(), "rb");
    if (!file)
        return items;
    char buffer[2048];
    while (fgets(buffer, sizeof(buffer), file)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        Item item;
        if (line.compare(0, 6, "pause ") == 0) {
            item.pause = true;
            item.pauseMs = strtoul(line.c_str() + 6, nullptr, 10);
        } else {
            std::vector<std::string> parts = split(line, '|');
            parts.resize(9);
            item.fields.assign(parts.begin(), parts.begin() + 7);
            if (!parts[7].empty())
                item.tag = strtoul(parts[7].c_str(), nullptr, 16);
            if (!parts[8].empty())
                item.size = strtoul(parts[8].c_str(), nullptr, 10);
        }
        items.push_back(item);
    }
    fclose(file);
    return items;
}

const char* text(const std::string& field)
{
    return field == "-" ? nullptr : field.c_str();
}

void play(Search* search, const std::vector<Item>& items, tcpbrowse::Callback callback, void* context,
          const char* instance)
{
    callback(search, context, tcpbrowse::kEventSearchHandle);
    for (const Item& item : items) {
        if (item.pause) {
            if (instance)
                continue;
            if (WaitForSingleObject(search->stop, item.pauseMs) == WAIT_OBJECT_0)
                return;
            continue;
        }
        if (instance && item.fields[0] != instance)
            continue;
        tcpbrowse::PrinterRecord printer{};
        printer.tag = item.tag;
        printer.size = item.size;
        printer.instanceName = text(item.fields[0]);
        printer.ipv4Address = text(item.fields[1]);
        printer.model = text(item.fields[2]);
        printer.domain = text(item.fields[3]);
        printer.serviceType = text(item.fields[4]);
        printer.comment = text(item.fields[5]);
        printer.location = text(item.fields[6]);
        callback(&printer, context, tcpbrowse::kEventPrinter);
        if (instance) {
            SetEvent(search->resolved);
            return;
        }
    }
}

} // namespace

extern "C" int WINAPI StartDiscovery(tcpbrowse::Callback callback, void* context, uint32_t timeoutMs, const char* type,
                                     const char* domain, const char* instance)
{
    record(std::string("start ") + (type ? type : "-") + " " + (domain ? domain : "-") + " " +
           (instance ? instance : "-") + " " + std::to_string(timeoutMs));
    if (!callback)
        return 0;
    const std::vector<Item> items = readItems();
    Search search;
    search.stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    search.resolved = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!search.stop || !search.resolved) {
        if (search.stop)
            CloseHandle(search.stop);
        if (search.resolved)
            CloseHandle(search.resolved);
        return 0;
    }
    {
        std::lock_guard<std::mutex> guard(liveLock);
        live.insert(&search);
    }
    const std::string wanted = instance ? instance : "";
    std::thread player(play, &search, std::cref(items), callback, context, instance ? wanted.c_str() : nullptr);
    const HANDLE ends[2] = {search.stop, search.resolved};
    WaitForMultipleObjects(2, ends, FALSE, timeoutMs);
    {
        std::lock_guard<std::mutex> guard(liveLock);
        live.erase(&search);
    }
    SetEvent(search.stop);
    player.join();
    CloseHandle(search.stop);
    CloseHandle(search.resolved);
    return 1;
}

extern "C" int WINAPI StopDiscovery(void* handle)
{
    std::lock_guard<std::mutex> guard(liveLock);
    auto it = live.find(static_cast<Search*>(handle));
    const bool known = it != live.end();
    if (known)
        SetEvent((*it)->stop);
    record(std::string("stop ") + (known ? "1" : "0"));
    return known ? 1 : 0;
}
