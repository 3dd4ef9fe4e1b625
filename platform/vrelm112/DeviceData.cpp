// Stand-in of the maker's device-data module. Hosts and their data come from
// the file named by VRELM_DEVICEDATA_CONFIG, one host a line:
//     <host> TAB <device type> TAB <folder>
// where the folder holds one "<name>.xml" per tree (the root element name
// after its prefix, "ProductConfigDyn" for "prdcfgdyn:ProductConfigDyn"); a
// tree is served only when the file's top element is exactly the root asked
// for, so "PMLTree" and the other revision's roots are unknown. Every call
// is appended to the file named by VRELM_DEVICEDATA_LOG as
//     <export> TAB <host> TAB <root or -> TAB <result>
// so that tests in other processes can read it.
#include "standin/StandInText.h"
#include "tickets/DeviceDataModule.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

namespace {

std::mutex lock; // guards currentHost and the log file's appends
std::wstring currentHost;

using standin::environment;
using standin::utf8;

void logCall(const char* name, const wchar_t* host, const wchar_t* root, long result)
{
    const std::wstring path = environment(L"VRELM_DEVICEDATA_LOG");
    if (path.empty())
        return;
    std::lock_guard<std::mutex> guard(lock);
    FILE* file = _wfopen(path.c_str(), L"ab");
    if (!file)
        return;
    std::fprintf(file, "%s\t%s\t%s\t%ld\n", name, host ? utf8(host).c_str() : "-", root ? utf8(root).c_str() : "-",
                 result);
    std::fclose(file);
}

struct HostEntry {
    DWORD type = 0;
    std::wstring folder;
};

bool findHost(const wchar_t* host, HostEntry& entry)
{
    if (!host || !*host)
        return false;
    std::ifstream config(environment(L"VRELM_DEVICEDATA_CONFIG").c_str());
    std::string line;
    const std::string wanted = utf8(host);
    while (std::getline(config, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t tab1 = line.find('\t');
        const size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos || line.compare(0, tab1, wanted) != 0 || tab1 != wanted.size())
            continue;
        entry.type = std::strtoul(line.c_str() + tab1 + 1, nullptr, 10);
        const std::string folder = line.substr(tab2 + 1);
        entry.folder.assign(folder.begin(), folder.end());
        return true;
    }
    return false;
}

// The name of the first element of an XML text.
std::string topElement(const std::string& xml)
{
    size_t at = 0;
    while ((at = xml.find('<', at)) != std::string::npos) {
        if (at + 1 < xml.size() && (xml[at + 1] == '?' || xml[at + 1] == '!')) {
            ++at;
            continue;
        }
        const size_t end = xml.find_first_of(" \t\r\n/>", at + 1);
        return xml.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    }
    return {};
}

bool loadTree(const HostEntry& entry, const wchar_t* root, std::string& xml)
{
    std::wstring name = root;
    const size_t colon = name.find(L':');
    if (colon != std::wstring::npos)
        name = name.substr(colon + 1);
    if (name.empty() || name.find_first_of(L"\\/.") != std::wstring::npos)
        return false;
    std::ifstream file((entry.folder + L"\\" + name + L".xml").c_str(), std::ios::binary);
    if (!file)
        return false;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    xml = bytes.str();
    return topElement(xml) == utf8(root);
}

} // namespace

extern "C" {

BOOL WINAPI GetXMLTreeFromTreeID(const wchar_t* host, DWORD, char** tree, ULONGLONG* size, BYTE)
{
    if (tree)
        *tree = nullptr;
    if (size)
        *size = 0;
    logCall("GetXMLTreeFromTreeID", host, nullptr, 0);
    return FALSE;
}

BOOL WINAPI GetXMLTreeFromRootNodeName(const wchar_t* host, const wchar_t* rootName, char** tree, ULONGLONG* size,
                                       BYTE)
{
    BOOL result = FALSE;
    if (tree) {
        *tree = nullptr;
        HostEntry entry;
        std::string xml;
        if (rootName && findHost(host, entry) && loadTree(entry, rootName, xml)) {
            char* copy = static_cast<char*>(std::malloc(xml.size() + 1));
            if (copy) {
                std::memcpy(copy, xml.c_str(), xml.size() + 1);
                *tree = copy;
                if (size)
                    *size = xml.size();
                result = TRUE;
            }
        }
    }
    logCall("GetXMLTreeFromRootNodeName", host, rootName, result);
    return result;
}

BOOL WINAPI ReleaseTree(char* tree)
{
    std::free(tree);
    logCall("ReleaseTree", nullptr, nullptr, 1);
    return TRUE;
}

BOOL WINAPI Initialize(const wchar_t* host)
{
    HostEntry entry;
    const BOOL known = findHost(host, entry);
    {
        std::lock_guard<std::mutex> guard(lock);
        currentHost = host ? host : L"";
    }
    logCall("Initialize", host, nullptr, known);
    return known;
}

DWORD WINAPI GetDeviceType(void)
{
    std::wstring host;
    {
        std::lock_guard<std::mutex> guard(lock);
        host = currentHost;
    }
    HostEntry entry;
    const DWORD type = findHost(host.c_str(), entry) ? entry.type : 0;
    logCall("GetDeviceType", host.c_str(), nullptr, static_cast<long>(type));
    return type;
}

} // extern "C"
