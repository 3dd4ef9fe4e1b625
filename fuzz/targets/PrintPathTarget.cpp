// The print-path document, narrow (a file, a device answer) and wide (a
// registry value). A path the reader accepts must survive its own round
// trip: a document the module writes and cannot read back loses the entry.
#include "FuzzTarget.h"
#include "InputParts.h"

#include "destination/PrintPath.h"

#include <cstring>
#include <memory>

namespace {

std::vector<std::string> printPathWords()
{
    return {"print-path", "device", "model", "friendly-name", "pdl", "family", "description", "version",
            "device-configured", "discovery", "configurator", "features", "attributes", "attribute", "name",
            "value-string", "value-numeric", "value-binary", "size", "encoding", "base64",
            "0a0b0c0d-0e0f-abcd-0102-a3b4c5d6e7f8"};
}

void checkRoundTrip(const MPrint::PrintPath* path)
{
    if (!path)
        return;
    std::string xml;
    MPrint::PrintPath::toXml(*path, xml, true);
    std::unique_ptr<MPrint::PrintPath> again(MPrint::PrintPath::fromXml(xml));
    if (!again) {
        fuzz::reportWrongResult("the path's own document does not read back");
        return;
    }
    std::string second;
    MPrint::PrintPath::toXml(*again, second, true);
    if (second != xml)
        fuzz::reportWrongResult("the path's own document reads back different");
}

class NarrowPrintPathTarget : public fuzz::FuzzTarget {
public:
    void run(const std::string& input) override
    {
        std::unique_ptr<MPrint::PrintPath> path(MPrint::PrintPath::fromXml(input));
        checkRoundTrip(path.get());
    }
    std::vector<std::string> dictionary() const override { return printPathWords(); }
};

// A byte-order mark "FF FE" takes the rest as UTF-16 as it stands (lone
// surrogates included); anything else is decoded from UTF-8 first.
class WidePrintPathTarget : public fuzz::FuzzTarget {
public:
    void run(const std::string& input) override
    {
        std::wstring text;
        if (input.size() >= 2 && input[0] == '\xFF' && input[1] == '\xFE') {
            text.resize((input.size() - 2) / 2);
            std::memcpy(text.data(), input.data() + 2, text.size() * sizeof(wchar_t));
        } else {
            text = fuzz::wideFromUtf8(input);
        }
        std::unique_ptr<MPrint::PrintPath> path(MPrint::PrintPath::fromXml(text));
        checkRoundTrip(path.get());
    }
    std::vector<std::string> dictionary() const override { return printPathWords(); }
};

} // namespace

FUZZ_TARGET(NarrowPrintPathTarget, "printpath", fuzz::InputShape::Xml);
FUZZ_TARGET(WidePrintPathTarget, "printpath-wide", fuzz::InputShape::Xml);
