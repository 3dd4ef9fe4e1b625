#include "support/JobTicketModuleStandIn.h"

namespace testenv {

JobTicketModuleStandIn::JobTicketModuleStandIn(const std::wstring& variant)
{
    SetEnvironmentVariableW(L"VRELM_JCT_CONFIG", dir_.file(L"answers.txt").c_str());
    SetEnvironmentVariableW(L"VRELM_JCT_LOG", dir_.file(L"calls.log").c_str());
    modulePath_ = makePrivateDriverStore(dir_) + L"\\vrelm108.DLL";
    ready_ = writeFile(dir_.file(L"answers.txt"), "") &&
             copyFileTo(binDir() + L"\\vrelm108\\" + variant + L"\\vrelm108.DLL", modulePath_);
}

JobTicketModuleStandIn::~JobTicketModuleStandIn()
{
    SetEnvironmentVariableW(L"VRELM_JCT_CONFIG", nullptr);
    SetEnvironmentVariableW(L"VRELM_JCT_LOG", nullptr);
    SetEnvironmentVariableW(L"VRELM_SPOOLER_DRIVER_ROOT", nullptr);
}

std::wstring JobTicketModuleStandIn::ticket(const std::wstring& name) { return binDir() + L"\\jct\\" + name; }

const std::map<std::wstring, std::wstring>& JobTicketModuleStandIn::officeValues()
{
    static const std::map<std::wstring, std::wstring> values = {
        {L"MediaSize", L"iso_a4_210x297mm;na_letter_8.5x11in;iso_a5_148x210mm;na_legal_8.5x14in"},
        {L"MediaType", L"plain;bond;labels"},
        {L"Chromalign", L"enabled"},
        {L"JPEGArtifactReduction", L"disabled"},
        {L"JPEGPassthrough", L"enabled"},
        {L"PNGPassthrough", L"enabled"},
        {L"ImageIdentification", L"disabled"},
        {L"PNGTransparency", L"device"},
        {L"OutputBinOrientation", L"FaceUp"},
        {L"DuplexOrientation", L"FaceDown"},
        {L"ImageAdjustments", L"[photo(device)(Contrast:high ShadowDetail:lower Sharpening:middle "
                              L"Smoothing:disabled Focusync:higher3 RedEye:true PetEye:false)][text(host)()]"
                              L"[graphics(none)()][scan(host)()]"},
    };
    return values;
}

void JobTicketModuleStandIn::answer(const char* kind, const std::wstring& name, const std::wstring& answer)
{
    const std::wstring target =
        answer == L"fail" || answer == L"garbage" || answer.find(L':') != std::wstring::npos ? answer : ticket(answer);
    std::string line = kind;
    for (wchar_t c : L"\t" + name + L"\t" + target)
        line += static_cast<char>(c);  // test names and build paths are ASCII
    writeFile(dir_.file(L"answers.txt"), readFile(dir_.file(L"answers.txt")) + line + "\n");
}

void JobTicketModuleStandIn::answerQueue(const std::wstring& queue, const std::wstring& answer)
{
    this->answer("queue", queue, answer);
}

void JobTicketModuleStandIn::answerAddress(const std::wstring& address, const std::wstring& answer)
{
    this->answer("address", address, answer);
}

std::vector<std::string> JobTicketModuleStandIn::calls(const std::string& exportName) const
{
    std::vector<std::string> result;
    for (const std::string& line : readLines(dir_.file(L"calls.log")))
        if (exportName.empty() || line.compare(0, exportName.size() + 1, exportName + "\t") == 0)
            result.push_back(line);
    return result;
}

void JobTicketModuleStandIn::removeModule() const { DeleteFileW(modulePath_.c_str()); }

} // namespace testenv
