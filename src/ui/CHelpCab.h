// Finds the HTML help file of a queue's driver: the driver ships it in a
// cabinet among its dependent files, one file per user-interface language.
// The file of the user's language (else US English) is extracted into the
// temporary folder once, again when the cabinet is newer, and its path is
// returned. Every failure answers false and leaves the output untouched.
#pragma once

#include "core/Win32.h"
#include "destination/DestinationContext.h"

#include <string>

class CHelpCab : public MPrint::HelpFileSource {
public:
    CHelpCab();
    virtual ~CHelpCab();

    void setLanguage(LANGID language) { language_ = language; }
    LANGID getLanguage() const { return language_; }

    // For the user's default UI language. helpFilePath holds capacity
    // characters (MAX_PATH at least for any path the system can use); a path
    // that does not fit, with its terminator, answers false.
    bool extract(HANDLE printer, wchar_t* helpFilePath, size_t capacity);
    // extract into a string, within MAX_PATH.
    bool extractHelpFile(HANDLE printer, std::wstring& path) override;

    // extract's work once the cabinet is known, for getLanguage().
    bool extractFromCabinet(const std::wstring& cabinetPath, std::wstring& helpFilePath) const;

    // The cabinet's file name, lower-cased, with its 4th and 5th characters
    // "hl" replaced by the language's two-letter code and an extension "cab"
    // turned into "chm" ("xyzhl01.cab" -> "xyzFR01.chm"); false without "hl".
    static bool makeLocalizedName(const std::wstring& cabinetPath, LANGID language, std::wstring& name);
    // The first dependent file of the queue's driver whose path contains
    // pattern, ignoring case.
    static bool findDependentFile(HANDLE printer, const wchar_t* pattern, std::wstring& path);
    // Extracts the file of that name (any case) to target, which then takes
    // the cabinet's file times; true when the cabinet could be walked.
    static bool extractFile(const std::wstring& cabinetPath, const std::wstring& name, const std::wstring& target);

private:
    LANGID language_;
};
