#include "tickets/JCTOptionsFeature.h"

#include "tickets/JCTWords.h"
#include "tickets/XMLTicket.h"

#include <algorithm>

namespace {

constexpr wchar_t kMediaSizeType[] = L"[@feature-Type='media:MediaSize']";
constexpr wchar_t kMediaSizeValue[] = L"/media:MediaSize/dd:MediaSizeID";
constexpr wchar_t kMediaTypeType[] = L"[@feature-Type='media:MediaType']";
constexpr wchar_t kMediaTypeValue[] = L"/media:MediaType/dd:MediaTypeID";

constexpr wchar_t kAllMediaSizes[] =
    L"na_letter_8.5x11in;na_legal_8.5x14in;na_executive_7.25x10.5in;na_invoice_5.5x8.5in;na_foolscap_8.5x13in;"
    L"na_ledger_11x17in;na_tabloid-extra_12x18in;iso_a3_297x420mm;iso_a4_210x297mm;iso_a5_148x210mm;"
    L"jis_b4_257x364mm;jis_b5_182x257mm;prc_8k_273x394mm;prc_16k_197x273mm;jpn_oufuku_148x200mm;"
    L"na_number-10_4.125x9.5in;na_monarch_3.875x7.5in;iso_b5_176x250mm;iso_c5_162x229mm;iso_dl_110x220mm;"
    L"jis_exec_216x330mm;jpn_hagaki_100x148mm;iso_a6_105x148mm;custom";

constexpr wchar_t kAllMediaTypes[] =
    L"auto;plain;generic_QZMatte90g;light;bond;recycled;generic_QZMatte105g;generic_QZMatte120g;"
    L"generic_QZSoftGloss120g;generic_QZGlossy130g;midweight;heavy;midweightGlossy;heavyGlossy;"
    L"generic_QZMatte160g;generic_QZGlossy160g;extraHeavy;extraHeavyGloss;generic_QZMatte200g;"
    L"generic_QZGlossy220g;cardstock;cardstockGlossy;generic_Transparency;labels;stationery-letterhead;envelope;"
    L"stationery-preprinted;stationery-prepunched;color;toughPaper";

} // namespace

JCTOptionsFeature::JCTOptionsFeature(std::wstring name, const std::wstring& featureType,
                                     const std::wstring& defaultPath, std::wstring valuePath,
                                     std::wstring allOptions)
    : JCTFeature(std::move(name)),
      featurePath_(kJCTFeaturePath + featureType),
      defaultPath_(featurePath_ + L"/Default" + defaultPath),
      optionPath_(featurePath_ + L"/Option"),
      valuePath_(std::move(valuePath)),
      allOptions_(std::move(allOptions))
{
}

void JCTOptionsFeature::clearOptions()
{
    options_.clear();
    current_.clear();
}

bool JCTOptionsFeature::setDefaults() { return setValue(allOptions_); }

bool JCTOptionsFeature::getValue(std::wstring& text)
{
    std::wstring joined;
    for (const std::wstring& option : options_)
        joined += option + separator_;
    if (!joined.empty())
        joined.resize(joined.size() - separator_.size());
    if (options_.empty() || joined.empty())
        return result(false);
    text = joined;
    return result(true);
}

bool JCTOptionsFeature::setValue(const std::wstring& text)
{
    clearOptions();
    if (separator_.empty() || text.empty())
        return result(false);
    // Every separator ends a part; a trailing one adds no empty option.
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(separator_, start);
        if (end == std::wstring::npos)
            end = text.size();
        options_.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    current_ = options_.front();
    return result(true);
}

bool JCTOptionsFeature::read(MPrint::XMLTicket* ticket)
{
    clearOptions();
    std::wstring current;
    DWORD children = 0;
    if (!jct::readText(ticket, defaultPath_, current) || current.empty() ||
        !ticket->getChildCount(featurePath_, children) || children > kMaxChildren)
        return readDone(false);
    std::vector<std::wstring> list{current};
    bool found = false;
    for (DWORD i = 0; i <= children; ++i) {
        std::wstring option;
        if (!jct::readText(ticket, optionPath_ + L"[" + std::to_wstring(i) + L"]" + valuePath_, option))
            continue;
        if (option == current)
            found = true;
        else
            list.push_back(option);
    }
    if (!found)
        return readDone(false);
    options_ = std::move(list);
    current_ = current;
    return readDone(true);
}

bool JCTOptionsFeature::getOptions(std::vector<std::wstring>& options) const
{
    options = options_;
    return !options.empty();
}

void JCTOptionsFeature::require(const wchar_t* option)
{
    if (std::find(options_.begin(), options_.end(), option) == options_.end())
        options_.push_back(option);
}

JCTMediaSize::JCTMediaSize() : JCTMediaSize(kMediaSizeValue) {}

JCTMediaSize::JCTMediaSize(const std::wstring& subPath)
    : JCTOptionsFeature(L"MediaSize", kMediaSizeType, subPath, kMediaSizeValue, kAllMediaSizes)
{
}

bool JCTMediaSize::setValue(const std::wstring& text)
{
    if (!JCTOptionsFeature::setValue(text))
        return false;
    require(L"na_letter_8.5x11in");
    require(L"iso_a4_210x297mm");
    return true;
}

JCTMediaType::JCTMediaType() : JCTMediaType(kMediaTypeValue) {}

JCTMediaType::JCTMediaType(const std::wstring& subPath)
    : JCTOptionsFeature(L"MediaType", kMediaTypeType, subPath, kMediaTypeValue, kAllMediaTypes)
{
}

bool JCTMediaType::setValue(const std::wstring& text)
{
    if (!JCTOptionsFeature::setValue(text))
        return false;
    require(L"auto");
    require(L"plain");
    return true;
}
