#include "tickets/JCTImageAdjustments.h"

#include "tickets/JCTBooleanFeature.h"
#include "tickets/JCTOptionsFeature.h"
#include "tickets/JCTWords.h"
#include "tickets/XMLTicket.h"

namespace {

constexpr const wchar_t* kSettingKeys[] = {L"Contrast", L"ShadowDetail", L"Sharpening", L"Smoothing",
                                           L"Focusync", L"RedEye",       L"PetEye"};

// The non-empty pieces between any of the delimiters.
std::vector<std::wstring> pieces(const std::wstring& text, const wchar_t* delimiters)
{
    std::vector<std::wstring> found;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(delimiters, start);
        if (end == std::wstring::npos)
            end = text.size();
        if (end > start)
            found.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return found;
}

} // namespace

namespace DataDictionary {

bool ImageAdjustment::isComplete() const
{
    if (imageType.empty() || location == 3)
        return false;
    for (int level : levels)
        if (level == 10)
            return false;
    return flags[0] != -1 && flags[1] != -1;
}

std::wstring ImageAdjustment::settingsText() const
{
    if (!isComplete())
        return {};
    std::wstring text;
    for (int i = 0; i < 7; ++i) {
        if (i)
            text += L' ';
        text += kSettingKeys[i];
        text += L':';
        text += i < 5 ? jct::wordOfValue(jct::WordTable::Level, levels[i])
                      : jct::wordOfValue(jct::WordTable::Boolean, flags[i - 5]);
    }
    return text;
}

std::wstring ImageAdjustment::entryText() const
{
    return imageType + L"(" + jct::wordOfValue(jct::WordTable::Location, location) + L")(" +
           (hasSettings ? settingsText() : std::wstring()) + L")";
}

bool ImageAdjustment::parseSettings(const std::wstring& text)
{
    const std::vector<std::wstring> parts = pieces(text, L" :");
    if (parts.empty() || parts.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < parts.size(); i += 2)
        for (int k = 0; k < 7; ++k)
            if (parts[i] == kSettingKeys[k]) {
                if (k < 5)
                    levels[k] = jct::valueOfWord(jct::WordTable::Level, parts[i + 1]);
                else
                    flags[k - 5] = jct::valueOfWord(jct::WordTable::Boolean, parts[i + 1]);
            }
    for (int level : levels)
        if (level == 10)
            return false;
    return flags[0] != -1 && flags[1] != -1;
}

bool ImageAdjustment::parseEntry(const std::wstring& text)
{
    const std::vector<std::wstring> parts = pieces(text, L"()");
    if (parts.size() != 2 && parts.size() != 3)
        return false;
    const int where = jct::valueOfWord(jct::WordTable::Location, parts[1]);
    if (where == 3)
        return false;
    imageType = parts[0];
    location = where;
    hasSettings = parts.size() == 3 && parseSettings(parts[2]);
    return true;
}

} // namespace DataDictionary

JCTImageAdjustments::JCTImageAdjustments() : JCTFeature(L"ImageAdjustments") {}

bool JCTImageAdjustments::setDefaults() { return setValue(std::wstring()); }

bool JCTImageAdjustments::getValue(std::wstring& text)
{
    text = listText(adjustments_);
    return result(true);
}

bool JCTImageAdjustments::setValue(const std::wstring& text) { return result(parseList(text, adjustments_)); }

bool JCTImageAdjustments::read(MPrint::XMLTicket* ticket)
{
    return readDone(readList(ticket, std::wstring(kJCTFeaturePath) + jctpath::kImageAdjustments, adjustments_));
}

const DataDictionary::ImageAdjustment* JCTImageAdjustments::findAdjustment(const std::wstring& imageType) const
{
    const DataDictionary::ImageAdjustment* found = nullptr;
    for (const auto& entry : adjustments_)
        if (entry->imageType == imageType)
            found = entry.get();
    return found;
}

std::wstring JCTImageAdjustments::listText(const List& list)
{
    std::wstring text;
    for (const auto& entry : list) {
        const std::wstring one = entry->entryText();
        if (!one.empty())
            text += L"[" + one + L"]";
    }
    return text;
}

bool JCTImageAdjustments::parseList(const std::wstring& text, List& list)
{
    list.clear();
    for (const std::wstring& part : pieces(text, L"[]")) {
        auto entry = std::make_unique<DataDictionary::ImageAdjustment>();
        if (entry->parseEntry(part))
            list.push_back(std::move(entry));
    }
    return true;
}

bool JCTImageAdjustments::readList(MPrint::XMLTicket* ticket, const std::wstring& featurePath, List& list)
{
    list.clear();
    // Every child of the adjustments element bounds the positions to try, so
    // no entry is missed whatever the first entry holds.
    const std::wstring parent = featurePath + L"/Option/dd:ImageAdjustments";
    DWORD children = 0;
    if (!ticket || !ticket->getChildCount(parent, children) || children > JCTOptionsFeature::kMaxChildren)
        return false;
    for (DWORD i = 0; i < children; ++i) {
        const std::wstring base = parent + L"/dd:ImageAdjustment[" + std::to_wstring(i) + L"]";
        auto entry = std::make_unique<DataDictionary::ImageAdjustment>();
        int location = 3;
        jct::AdjustmentSettings settings{};
        if (!jct::readText(ticket, base + L"/dd:ImageType", entry->imageType) ||
            !jct::readWord(ticket, base + L"/dd:ColorSpaceConversionLocation", jct::WordTable::Location, location))
            continue;
        entry->location = location;
        entry->hasSettings = jct::readSettings(ticket, base + L"/dd:VistraneTechnologySettings", settings);
        if (entry->hasSettings) {
            std::copy(std::begin(settings.levels), std::end(settings.levels), entry->levels);
            std::copy(std::begin(settings.flags), std::end(settings.flags), entry->flags);
        }
        list.push_back(std::move(entry));
    }
    return true;
}
