#include "tickets/JCTBooleanFeature.h"

JCTBooleanFeature::JCTBooleanFeature(std::wstring name, std::wstring defaultValue, std::wstring xpath,
                                     jct::WordTable words)
    : JCTFeature(std::move(name)), value_(std::move(defaultValue)), xpath_(std::move(xpath)), words_(words)
{
}

bool JCTBooleanFeature::setDefaults() { return result(!value_.empty()); }

bool JCTBooleanFeature::getValue(std::wstring& text)
{
    if (isValid())
        text = value_;
    return result(isValid());
}

bool JCTBooleanFeature::setValue(const std::wstring& text)
{
    if (text.empty())
        return result(false);
    value_ = text;
    return result(true);
}

bool JCTBooleanFeature::readWord(MPrint::XMLTicket* ticket, int& word) const
{
    return jct::readWord(ticket, xpath_, words_, word);
}

bool JCTBooleanFeature::read(MPrint::XMLTicket* ticket)
{
    int word = 0;
    const bool ok = readWord(ticket, word);
    if (ok)
        takeWord(word);
    return readDone(ok);
}

int JCTBooleanFeature::getTriState() const
{
    // The true word is position 1 of the boolean table and position 0 of the others.
    const int trueWord = words_ == jct::WordTable::Boolean ? 1 : 0;
    if (value_ == jct::wordOfValue(words_, trueWord))
        return 1;
    if (value_ == jct::wordOfValue(words_, 1 - trueWord))
        return 0;
    return -1;
}

namespace {
std::wstring ticketPath(const wchar_t* rest) { return std::wstring(kJCTFeaturePath) + rest; }
} // namespace

JCTEnableDisableFeature::JCTEnableDisableFeature(std::wstring name, const wchar_t* rest)
    : JCTBooleanFeature(std::move(name), L"", ticketPath(rest), jct::WordTable::Enable)
{
}

JCTChromalign::JCTChromalign() : JCTEnableDisableFeature(L"Chromalign", jctpath::kChromalign) {}
JCTJPEGArtifactReduction::JCTJPEGArtifactReduction()
    : JCTEnableDisableFeature(L"JPEGArtifactReduction", jctpath::kJPEGArtifactReduction)
{
}
JCTJPEGPassthrough::JCTJPEGPassthrough() : JCTEnableDisableFeature(L"JPEGPassthrough", jctpath::kJPEGPassthrough) {}
JCTPNGPassthrough::JCTPNGPassthrough() : JCTEnableDisableFeature(L"PNGPassthrough", jctpath::kPNGPassthrough) {}
JCTImageIdentification::JCTImageIdentification()
    : JCTEnableDisableFeature(L"ImageIdentification", jctpath::kImageIdentification)
{
}

JCTPNGTransparency::JCTPNGTransparency()
    : JCTBooleanFeature(L"PNGTransparency", L"", ticketPath(jctpath::kPNGTransparency), jct::WordTable::Location)
{
}

bool JCTPNGTransparency::read(MPrint::XMLTicket* ticket)
{
    int word = 0;
    if (!readWord(ticket, word))
        return false;
    if (jct::wordOfValue(jct::WordTable::Location, word) == L"none")
        return true;
    takeWord(word);
    return readDone(true);
}

JCTOutputBinOrientation::JCTOutputBinOrientation()
    : JCTBooleanFeature(L"OutputBinOrientation", L"FaceDown", ticketPath(jctpath::kOutputBinOrientation),
                        jct::WordTable::Orientation)
{
}

JCTDuplexOrientation::JCTDuplexOrientation()
    : JCTBooleanFeature(L"DuplexOrientation", L"FaceDown", ticketPath(jctpath::kDuplexOrientation),
                        jct::WordTable::Orientation)
{
}
