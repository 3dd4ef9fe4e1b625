// Features with a list of options and a current one (the ticket's default):
// stored as the options joined by ";", the current value first. A ticket's
// feature is read only when its default is among its options. Features of
// more than kMaxChildren child nodes are refused as malformed.
#pragma once

#include "tickets/JCTFeature.h"

#include <vector>

class JCTOptionsFeature : public JCTFeature {
public:
    static constexpr unsigned kMaxChildren = 1000;

    // featureType: the "[@feature-Type='...']" predicate of the feature;
    // defaultPath and valuePath are read below ".../Default" and each ".../Option[i]".
    JCTOptionsFeature(std::wstring name, const std::wstring& featureType, const std::wstring& defaultPath,
                      std::wstring valuePath, std::wstring allOptions);

    bool setDefaults() override;
    bool getValue(std::wstring& text) override;
    // Each separator splits; the first part becomes the current value.
    bool setValue(const std::wstring& text) override;
    bool read(MPrint::XMLTicket* ticket) override;

    // True when the copied list is not empty.
    virtual bool getOptions(std::vector<std::wstring>& options) const;
    const std::wstring& getCurrentValue() const { return current_; }

protected:
    // Appends the option when it is not in the list yet.
    void require(const wchar_t* option);

private:
    void clearOptions();

    std::vector<std::wstring> options_;
    std::wstring current_;
    std::wstring separator_ = L";";
    std::wstring featurePath_;
    std::wstring defaultPath_;
    std::wstring optionPath_;
    std::wstring valuePath_;
    std::wstring allOptions_;
};

// Media sizes: letter and A4 are always offered.
class JCTMediaSize : public JCTOptionsFeature {
public:
    JCTMediaSize();
    // Reads the default at ".../Default" + subPath (a ticket that leaves out
    // the media:MediaSize level there).
    explicit JCTMediaSize(const std::wstring& subPath);
    bool setValue(const std::wstring& text) override;
};

// Media types: "auto" and "plain" are always offered.
class JCTMediaType : public JCTOptionsFeature {
public:
    JCTMediaType();
    explicit JCTMediaType(const std::wstring& subPath);
    bool setValue(const std::wstring& text) override;
};
