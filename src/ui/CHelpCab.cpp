#include "ui/CHelpCab.h"

#include "core/LanguageCode.h"
#include "core/ScopedHandle.h"
#include "shared/SpoolerQueries.h"

#include <setupapi.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace {

constexpr LANGID kUsEnglish = 0x0409;

std::wstring lowerCase(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return towlower(c); });
    return text;
}

bool fileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

struct FileTimes {
    FILETIME created;
    FILETIME accessed;
    FILETIME written;
};

bool readFileTimes(const std::wstring& path, FileTimes& times)
{
    const ScopedKernelHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
    return file && GetFileTime(file.get(), &times.created, &times.accessed, &times.written);
}

bool writeFileTimes(const std::wstring& path, const FileTimes& times)
{
    const ScopedKernelHandle file(
        CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return file && SetFileTime(file.get(), &times.created, &times.accessed, &times.written);
}

bool olderThan(const std::wstring& file, const std::wstring& reference)
{
    FileTimes fileTimes, referenceTimes;
    if (!readFileTimes(file, fileTimes) || !readFileTimes(reference, referenceTimes))
        return false;
    return CompareFileTime(&fileTimes.written, &referenceTimes.written) < 0;
}

std::wstring tempFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH)
        return {};
    return std::wstring(buffer, length);
}

struct ExtractContext {
    const std::wstring* name;
    const std::wstring* target;
};

UINT CALLBACK cabinetCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR)
{
    if (notification != SPFILENOTIFY_FILEINCABINET)
        return NO_ERROR;
    auto* extract = static_cast<ExtractContext*>(context);
    auto* info = reinterpret_cast<FILE_IN_CABINET_INFO_W*>(param1);
    if (lstrcmpiW(info->NameInCabinet, extract->name->c_str()) != 0)
        return FILEOP_SKIP;
    lstrcpynW(info->FullTargetName, extract->target->c_str(), MAX_PATH);
    return FILEOP_DOIT;
}

} // namespace

CHelpCab::CHelpCab() : language_(GetUserDefaultUILanguage()) {}

CHelpCab::~CHelpCab() = default;

bool CHelpCab::extract(HANDLE printer, wchar_t* helpFilePath, size_t capacity)
{
    language_ = GetUserDefaultUILanguage();
    if (!printer || !helpFilePath || capacity == 0)
        return false;
    try {
        std::wstring cabinet;
        if (!findDependentFile(printer, L".CAB", cabinet))
            return false;
        std::wstring helpFile;
        if (!extractFromCabinet(cabinet, helpFile) || helpFile.size() >= capacity)
            return false;
        std::copy(helpFile.begin(), helpFile.end(), helpFilePath);
        helpFilePath[helpFile.size()] = L'\0';
        return true;
    } catch (...) {
        return false;
    }
}

bool CHelpCab::extractFromCabinet(const std::wstring& cabinetPath, std::wstring& helpFilePath) const
{
    const std::wstring folder = tempFolder();
    if (folder.empty())
        return false;
    const LANGID languages[] = {language_, kUsEnglish};
    const size_t count = language_ == kUsEnglish ? 1 : 2;
    for (size_t i = 0; i < count; ++i) {
        const LANGID language = languages[i];
        std::wstring name;
        if (!makeLocalizedName(cabinetPath, language, name))
            return false;
        const std::wstring target = folder + name;
        if (target.size() >= MAX_PATH)
            return false;
        if (fileExists(target)) {
            if (olderThan(target, cabinetPath)) {
                DeleteFileW(target.c_str());
                extractFile(cabinetPath, name, target);
            }
        } else {
            extractFile(cabinetPath, name, target);
        }
        // A refresh that failed leaves no file: never report a missing path.
        if (fileExists(target)) {
            helpFilePath = target;
            return true;
        }
    }
    return false;
}

bool CHelpCab::makeLocalizedName(const std::wstring& cabinetPath, LANGID language, std::wstring& name)
{
    const size_t slash = cabinetPath.find_last_of(L'\\');
    std::wstring fileName = lowerCase(slash == std::wstring::npos ? cabinetPath : cabinetPath.substr(slash + 1));
    if (fileName.size() < 5 || fileName[3] != L'h' || fileName[4] != L'l')
        return false;
    std::wstring code;
    getLanguageCode(language, code);
    if (code.size() != 2)
        return false;
    fileName.replace(3, 2, code);
    const size_t dot = fileName.find_last_of(L'.');
    if (dot != std::wstring::npos && fileName.compare(dot + 1, std::wstring::npos, L"cab") == 0)
        fileName.replace(dot + 1, 3, L"chm");
    if (fileName.size() >= MAX_PATH)
        return false;
    name = fileName;
    return true;
}

bool CHelpCab::extractHelpFile(HANDLE printer, std::wstring& path)
{
    wchar_t buffer[MAX_PATH] = {};
    if (!extract(printer, buffer, MAX_PATH))
        return false;
    path = buffer;
    return true;
}

bool CHelpCab::findDependentFile(HANDLE printer, const wchar_t* pattern, std::wstring& path)
{
    if (!printer || !pattern)
        return false;
    GlobalBlock<BYTE> owner;
    bool found = false;
    const SIZE_T blockSize = getPrinterDriverAlloc(printer, 3, owner.receive()) && owner ? GlobalSize(owner.get()) : 0;
    const BYTE* block = owner.get();
    if (blockSize) {
        const std::wstring wanted = lowerCase(pattern);
        for (const std::wstring& file : dependentFilesInBlock(block, blockSize)) {
            if (lowerCase(file).find(wanted) != std::wstring::npos) {
                path = file;
                found = true;
                break;
            }
        }
    }
    return found;
}

bool CHelpCab::extractFile(const std::wstring& cabinetPath, const std::wstring& name, const std::wstring& target)
{
    if (target.size() >= MAX_PATH)
        return false;
    ExtractContext context{&name, &target};
    if (!SetupIterateCabinetW(cabinetPath.c_str(), 0, cabinetCallback, &context))
        return false;
    FileTimes times;
    if (fileExists(target) && readFileTimes(cabinetPath, times))
        writeFileTimes(target, times);
    return true;
}
