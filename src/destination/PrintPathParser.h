// Rebuilds a print path from its XML document (see PrintPath::toXml). The
// target path is not owned; a document the reader rejects leaves it partly
// filled, and PrintPath::fromXml then discards it.
#pragma once

#include "core/MSSAXParser.h"
#include "destination/PrintPath.h"

#include <string>
#include <vector>

namespace MPrint {

class PrintPathParser : public MSSAXParser {
public:
    explicit PrintPathParser(PrintPath* target);

    bool parse(const std::string& xml) override;
    void reset() override;

protected:
    void onStringValue(const LevelData& level, const std::wstring& value) override;
    void onNumberValue(const LevelData& level, DWORD value) override;
    void onGuidValue(const LevelData& level, const GUID& value) override;
    // A path read from XML is never device-configured.
    void onBoolValue(const LevelData& level, bool value) override;
    void onBinaryValue(const LevelData& level, const std::wstring& text) override;
    void onContainerEnd(const LevelData& level, const std::wstring& text) override;

private:
    enum ValueKind : DWORD { None = 0, String = 1, Numeric = 2, Binary = 3 };

    void clearAttribute();
    void handDeviceToTarget();

    PrintPath* target_;
    Device device_;
    bool deviceSeen_ = false;
    // Within one parse, what the target's device already holds of the
    // working device, so a device end passes on only what came after.
    bool deviceHanded_ = false;
    size_t pdlsHanded_ = 0;
    bool namesChanged_ = false;
    DWORD pdlFamily_ = 0;
    std::wstring pdlDescription_;
    std::wstring pdlVersion_;
    std::wstring name_;
    std::wstring stringValue_;
    DWORD numericValue_ = 0;
    std::vector<BYTE> binaryValue_;
    DWORD valueKind_ = None;
};

} // namespace MPrint
