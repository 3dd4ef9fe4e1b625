// WriteArgs.exe FILE ARG...: writes each ARG as one line into FILE. The
// file appears whole (written beside, then renamed), so a test polling for
// it never reads half of it. Stands in for a program the shell launches.
#include <windows.h>

#include <string>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    std::string content;
    for (int i = 2; i < argc; ++i)
        content += std::string(argv[i]) + "\n";
    const std::string partial = std::string(argv[1]) + ".partial";
    HANDLE file = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || !MoveFileExA(partial.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING))
        return 4;
    return 0;
}
