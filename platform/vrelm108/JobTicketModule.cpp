// Stand-in of the maker's job-control-ticket module. What it answers comes
// from the file named by VRELM_JCT_CONFIG, one line per queue or address:
//     queue|address TAB <name> TAB <answer>
// where the answer is the full path of a ticket file to copy, "fail" (the
// export answers 0 and writes nothing) or "garbage" (it writes text that is
// no XML and answers success). The last line for a name holds; a name
// without a line fails. Every call is appended to the file named by
// VRELM_JCT_LOG as
//     <export> TAB <name> TAB <result>
#include "standin/StandInText.h"
#include "tickets/JCTModule.h"

#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>

namespace {

std::mutex lock;  // guards the log file's appends

using standin::environment;
using standin::utf8;

std::wstring wide(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(size > 0 ? size : 0, L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

void logCall(const char* name, const wchar_t* source, BOOL result)
{
    const std::wstring path = environment(L"VRELM_JCT_LOG");
    if (path.empty())
        return;
    std::lock_guard<std::mutex> guard(lock);
    if (FILE* file = _wfopen(path.c_str(), L"ab")) {
        std::fprintf(file, "%s\t%s\t%d\n", name, source ? utf8(source).c_str() : "-", result ? 1 : 0);
        std::fclose(file);
    }
}

// The answer last configured for (kind, name), or empty.
std::wstring answerFor(const char* kind, const wchar_t* name)
{
    if (!name)
        return {};
    std::ifstream config(environment(L"VRELM_JCT_CONFIG").c_str());
    const std::string wanted = std::string(kind) + "\t" + utf8(name) + "\t";
    std::string line;
    std::wstring answer;
    while (std::getline(config, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, wanted.size(), wanted) == 0)
            answer = wide(line.substr(wanted.size()));
    }
    return answer;
}

BOOL create(const char* exportName, const char* kind, const wchar_t* source, const wchar_t* fileName)
{
    const std::wstring answer = answerFor(kind, source);
    BOOL result = FALSE;
    if (fileName && !answer.empty() && answer != L"fail") {
        if (answer == L"garbage") {
            if (FILE* file = _wfopen(fileName, L"wb")) {
                std::fputs("this is no ticket <Capabilities", file);
                result = std::fclose(file) == 0;
            }
        } else {
            result = CopyFileW(answer.c_str(), fileName, FALSE);
        }
    }
    logCall(exportName, source, result);
    return result;
}

} // namespace

extern "C" {

BOOL WINAPI CreateJCTForDeviceAddress(const wchar_t* address, const wchar_t* fileName)
{
    return create(jctmodule::kCreateJCTForDeviceAddress, "address", address, fileName);
}

BOOL WINAPI CreateJCTForPrintQueue(const wchar_t* printer, const wchar_t* fileName)
{
    return create(jctmodule::kCreateJCTForPrintQueue, "queue", printer, fileName);
}

} // extern "C"
