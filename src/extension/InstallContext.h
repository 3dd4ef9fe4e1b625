// How the current driver installation was started (context 1 to 3) and the
// printer name it began under: two per-user values under the settings key.
#pragma once

#include <string>

class InstallContext {
public:
    InstallContext();

    void load();
    bool hasContext() const { return context_ != 0; }
    bool isContext1() const { return context_ == 1; }
    bool isContext2() const { return context_ == 2; }
    bool isContext3() const { return context_ == 3; }
    int getContext() const { return context_; }
    // 1 to 3 only; stored at once.
    bool setContext(int context);
    bool deleteContext();
    // The stored name, or the last one known when none is stored.
    std::wstring getOriginalPrinterName();
    // False for an empty name and when the name could not be stored.
    bool setOriginalPrinterName(const std::wstring& name);
    bool deleteOriginalPrinterName();

private:
    bool save();

    int context_ = 0;
    std::wstring originalPrinterName_;
};
