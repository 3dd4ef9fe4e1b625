#include "shared/SpoolerNames.h"

#include "core/AsciiCase.h"
#include "core/Win32.h"

const wchar_t* const kIPrintUpload = L"iPrintUpload";

bool isMakerName(const std::wstring& text)
{
    for (const wchar_t* word : {L"qz ", L"QZ ", L"Tarvokin", L"TARVOKIN", L"Calvenor"})
        if (text.find(word) != std::wstring::npos)
            return true;
    return false;
}

bool isIPrintUpload(const std::wstring& text)
{
    return text.find(kIPrintUpload) != std::wstring::npos;
}

bool isIPrintQueue(const std::wstring& name)
{
    return name.compare(0, 2, L"\\\\") == 0 && name.find(L"ipp://") != std::wstring::npos;
}

bool isSpoolerProcess()
{
    wchar_t path[520] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, 520);
    if (length == 0)
        return false;
    const std::wstring lower = asciiLowered(std::wstring(path, length < 520 ? length : 519));
    return lower.find(L"printisolationhost.exe") != std::wstring::npos ||
           lower.find(L"spoolsv.exe") != std::wstring::npos;
}
