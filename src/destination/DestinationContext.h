// The destination of the print job being handled: the queue's name, an id
// made when the context is created (all zero when that failed), an optional
// document name, and the chosen print path, which the context owns.
#pragma once

#include "destination/PrintPath.h"

#include <memory>
#include <string>

namespace MPrint {

// Extracts the localised help file of an opened queue's driver; the UI's
// help cabinet (CHelpCab) is the one the module uses.
class HelpFileSource {
public:
    virtual ~HelpFileSource() = default;
    // The output is unchanged on false.
    virtual bool extractHelpFile(HANDLE printer, std::wstring& path) = 0;
};

class DestinationContext {
public:
    DestinationContext(const std::wstring& printerName, const wchar_t* documentName);
    DestinationContext(const DestinationContext&) = delete;
    DestinationContext& operator=(const DestinationContext&) = delete;
    virtual ~DestinationContext();

    virtual const wchar_t* getDocumentName() const { return documentName_.c_str(); }
    virtual bool isValid() const { return true; }

    const std::wstring& getPrinterName() const { return printerName_; }
    void setPrinterName(const std::wstring& name) { printerName_ = name; }

    // The context keeps ownership.
    PrintPath* getPrintPath() const { return printPath_.get(); }
    // Deletes the current path and owns the new one (may be null); the path
    // it already owns is kept as it is.
    bool setPrintPath(PrintPath* path);
    // The caller owns the path now; the context holds none.
    PrintPath* detachPrintPath();

    const GUID& getContextId() const { return contextId_; }

    // The localised help file of the queue's driver, extracted when needed.
    // False (output unchanged) when the queue cannot be opened with full
    // access or has no help cabinet.
    bool getHelpFilePath(std::wstring& path, HelpFileSource& source) const;

private:
    std::wstring printerName_;
    std::wstring reserved_;
    std::unique_ptr<PrintPath> printPath_;
    GUID contextId_ = {};
    std::wstring documentName_;
};

} // namespace MPrint
