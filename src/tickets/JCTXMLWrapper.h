// Readers of a device's own XML description file ("/device/other/Feature"
// elements, the same XPaths as a job-control ticket's features). Each field
// holds the word its read found, empty when that read failed; read is true
// when the file loads and at least one value was read. readLoaded does the
// same from a ticket that already holds the file, so that several readers
// share one load.
#pragma once

#include <string>

namespace MPrint {
class JCTTicket;
}

class JCTXMLWrapper {
public:
    virtual ~JCTXMLWrapper() = default;
    virtual bool read(const wchar_t* fileName);
    virtual bool readLoaded(MPrint::JCTTicket& ticket) = 0;

    static constexpr wchar_t kDevicePath[] = L"/device/other/Feature";

    // Initialises and loads the ticket; false when the file does not load.
    static bool open(MPrint::JCTTicket& ticket, const wchar_t* fileName);
};

class ChromalignXMLWrapper : public JCTXMLWrapper {
public:
    bool readLoaded(MPrint::JCTTicket& ticket) override;

    std::wstring chromalign;
    std::wstring imageIdentification;
    std::wstring jpegArtifactReduction;
    std::wstring jpegPassthrough;
    std::wstring imageAdjustments;  // the list text
    std::wstring pngPassthrough;
    std::wstring pngTransparency;
};

class OutputBinOrientationXMLWrapper : public JCTXMLWrapper {
public:
    bool readLoaded(MPrint::JCTTicket& ticket) override;
    std::wstring orientation;
};

class DuplexOrientationXMLWrapper : public JCTXMLWrapper {
public:
    bool readLoaded(MPrint::JCTTicket& ticket) override;
    std::wstring orientation;
};
