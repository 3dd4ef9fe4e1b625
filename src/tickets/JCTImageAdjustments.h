// The image adjustments a queue offers, one entry per image type, stored as
// the list text "[type(location)(settings)]..." where the settings are
// "Contrast:<level> ShadowDetail:<level> Sharpening:<level> Smoothing:<level>
// Focusync:<level> RedEye:<bool> PetEye:<bool>" (empty unless all are set).
#pragma once

#include "tickets/JCTFeature.h"

#include <memory>
#include <vector>

namespace DataDictionary {

struct ImageAdjustment {
    std::wstring imageType;
    bool hasSettings = false;
    int location = 3;                         // 0 device, 1 host, 2 none, 3 not set
    int levels[5] = {10, 10, 10, 10, 10};     // contrast, shadow detail, sharpening, smoothing, focus; 10 not set
    int flags[2] = {-1, -1};                  // red eye, pet eye: 1, 0, -1 not set

    bool isComplete() const;
    // Empty when the entry is not complete.
    std::wstring settingsText() const;
    std::wstring entryText() const;
    // Parses "type(location)" or "type(location)(settings)"; false leaves
    // the entry unusable. hasSettings records whether all seven settings parsed.
    bool parseEntry(const std::wstring& text);
    // Sets the settings it names; true when all seven are then set. A text
    // that is not key:value pairs fails and sets nothing.
    bool parseSettings(const std::wstring& text);
};

} // namespace DataDictionary

class JCTImageAdjustments : public JCTFeature {
public:
    using List = std::vector<std::unique_ptr<DataDictionary::ImageAdjustment>>;

    JCTImageAdjustments();

    bool setDefaults() override;
    // The list text; always true (an empty list is an empty text).
    bool getValue(std::wstring& text) override;
    bool setValue(const std::wstring& text) override;
    bool read(MPrint::XMLTicket* ticket) override;

    virtual const List& getAdjustments() const { return adjustments_; }
    // The last entry of that image type, or null.
    virtual const DataDictionary::ImageAdjustment* findAdjustment(const std::wstring& imageType) const;

    static std::wstring listText(const List& list);
    // Entries that do not parse are left out; an empty text is an empty list.
    static bool parseList(const std::wstring& text, List& list);
    // The adjustments below a feature element (featurePath + "/Option/dd:ImageAdjustments").
    static bool readList(MPrint::XMLTicket* ticket, const std::wstring& featurePath, List& list);

private:
    List adjustments_;
};
