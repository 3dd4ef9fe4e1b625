// Two-valued features: a value text that is either the true or the false
// word of the feature, read from one XPath of a job-control ticket. The
// value given at construction is the default (valid only when not empty).
#pragma once

#include "tickets/JCTFeature.h"
#include "tickets/JCTWords.h"

class JCTBooleanFeature : public JCTFeature {
public:
    JCTBooleanFeature(std::wstring name, std::wstring defaultValue, std::wstring xpath,
                      jct::WordTable words = jct::WordTable::Boolean);

    bool setDefaults() override;
    bool getValue(std::wstring& text) override;
    // An empty text keeps the value and only makes the feature invalid.
    bool setValue(const std::wstring& text) override;
    bool read(MPrint::XMLTicket* ticket) override;

    // 1 the true word, 0 the false word, -1 anything else.
    virtual int getTriState() const;
    // The value whatever the valid flag.
    virtual std::wstring getRawValue() const { return value_; }

protected:
    // The word at the XPath in this feature's table; false when absent or no word.
    bool readWord(MPrint::XMLTicket* ticket, int& word) const;
    void takeWord(int word) { value_ = jct::wordOfValue(words_, word); }

private:
    std::wstring value_;
    std::wstring xpath_;
    jct::WordTable words_;
};

// "enabled" / "disabled".
class JCTEnableDisableFeature : public JCTBooleanFeature {
public:
    // rest: the XPath after the ticket's feature path.
    JCTEnableDisableFeature(std::wstring name, const wchar_t* rest);
};

class JCTChromalign : public JCTEnableDisableFeature {
public:
    JCTChromalign();
};
class JCTJPEGArtifactReduction : public JCTEnableDisableFeature {
public:
    JCTJPEGArtifactReduction();
};
class JCTJPEGPassthrough : public JCTEnableDisableFeature {
public:
    JCTJPEGPassthrough();
};
class JCTPNGPassthrough : public JCTEnableDisableFeature {
public:
    JCTPNGPassthrough();
};
class JCTImageIdentification : public JCTEnableDisableFeature {
public:
    JCTImageIdentification();
};

// "device" / "host"; a ticket saying "none" is read successfully and
// changes nothing, and a failed read changes nothing either.
class JCTPNGTransparency : public JCTBooleanFeature {
public:
    JCTPNGTransparency();
    bool read(MPrint::XMLTicket* ticket) override;
};

// "FaceUp" / "FaceDown", default "FaceDown".
class JCTOutputBinOrientation : public JCTBooleanFeature {
public:
    JCTOutputBinOrientation();
};
class JCTDuplexOrientation : public JCTBooleanFeature {
public:
    JCTDuplexOrientation();
};

// The XPaths shared by the ticket features and the device-description readers
// (which put "/device/other/Feature" in front in place of the ticket's path).
namespace jctpath {
inline constexpr wchar_t kChromalign[] = L"[@feature-Type='dd:Chromalign']/Default/dd:Chromalign";
inline constexpr wchar_t kJPEGArtifactReduction[] =
    L"[@feature-Type='dd:JPEGArtifactReduction']/Option/dd:JPEGArtifactReduction";
inline constexpr wchar_t kJPEGPassthrough[] = L"[@feature-Type='dd:JPEGPassthrough']/Option/dd:JPEGPassthrough";
inline constexpr wchar_t kPNGPassthrough[] = L"[@feature-Type='dd:PNGPassthrough']/Option/dd:PNGPassthrough";
inline constexpr wchar_t kImageIdentification[] =
    L"[@feature-Type='dd:ImageIdentification']/Option/dd:ImageIdentification";
inline constexpr wchar_t kPNGTransparency[] = L"[@feature-Type='dd:PNGTransparency']/Option/dd:PNGTransparency";
inline constexpr wchar_t kOutputBinOrientation[] =
    L"[@feature-Type='media:MediaOutput']/Option[@id='OutputBinAuto']/media:MediaOutput/dd:PageOrientation";
inline constexpr wchar_t kDuplexOrientation[] =
    L"[@feature-Type='media:MediaPassthru']/Option[@id='PassthruDuplexer']/media:MediaPassthru/dd:Any/"
    L"dd:PageOrientation";
inline constexpr wchar_t kImageAdjustments[] = L"[@feature-Type='dd:ImageAdjustments']";
} // namespace jctpath
