// One text held in up to two forms at once: narrow (ANSI code page) and wide
// (UTF-16). A form is converted only when an operation needs it; every edit
// happens in one form and leaves the other stale (form tag 1 narrow only,
// 2 wide only, 3 both). Reading and comparing may fill in the missing form,
// so an object belongs to one thread at a time. Nothing throws on bad input:
// a null text gives npos, false, an empty result or no change.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Quorith {

class MultiTypeString {
public:
    enum Form : unsigned { NarrowForm = 1, WideForm = 2, BothForms = 3 };

    static const size_t npos;
    // Built from the empty narrow text (form 1); callers return copies of it.
    static const MultiTypeString emptyString;

    MultiTypeString();
    MultiTypeString(const char* text);
    MultiTypeString(const wchar_t* text);
    MultiTypeString(std::string text);
    MultiTypeString(std::wstring text);
    MultiTypeString(const MultiTypeString& other);
    explicit MultiTypeString(const int& value);
    MultiTypeString(const char* text, size_t count);
    MultiTypeString(const wchar_t* text, size_t count);
    MultiTypeString(const MultiTypeString& other, size_t count);
    virtual ~MultiTypeString();

    virtual bool isEmpty();
    virtual bool isEqual(MultiTypeString& other);
    virtual int compare(MultiTypeString& other);
    virtual size_t length();
    virtual size_t find(MultiTypeString& other, size_t start);
    virtual size_t find(const char* text, size_t start);
    virtual size_t find(const wchar_t* text, size_t start);
    virtual size_t rfind(MultiTypeString& other, size_t start);
    virtual size_t rfind(const char* text, size_t start);
    virtual size_t rfind(const wchar_t* text, size_t start);
    virtual size_t findFirstOf(MultiTypeString& other, size_t start);
    virtual size_t findFirstOf(const char* text, size_t start);
    virtual size_t findFirstOf(const wchar_t* text, size_t start);
    virtual size_t findLastOf(MultiTypeString& other, size_t start);
    virtual size_t findLastOf(const char* text, size_t start);
    virtual size_t findLastOf(const wchar_t* text, size_t start);
    // Fills the stale form; form 3 on success, unchanged on failure.
    virtual bool synchronize();
    // ANSI code page, no flags; unmappable characters become its default one.
    virtual bool convertWideToNarrow();
    virtual bool convertNarrowToWide();
    virtual void ensureForm(unsigned wanted);

    unsigned form() const { return form_; }

    // Valid until the next change of the object.
    const wchar_t* toWide();
    const char* toNarrow();
    operator const wchar_t*() { return toWide(); }
    operator const char*() { return toNarrow(); }

    MultiTypeString substr(size_t position, size_t count = npos);
    bool split(MultiTypeString delimiters, std::vector<MultiTypeString>& pieces);

    bool clear();
    MultiTypeString& assign(const char* text, size_t count);
    MultiTypeString& assign(const wchar_t* text, size_t count);
    MultiTypeString& assign(const MultiTypeString& other, size_t count);
    bool append(const char* text);
    bool append(const wchar_t* text);
    void append(const MultiTypeString& other);
    MultiTypeString& insert(size_t position, const char* text);
    MultiTypeString& insert(size_t position, const wchar_t* text);
    MultiTypeString& insert(size_t position, const MultiTypeString& other);
    bool erase(size_t position, size_t count);
    bool removeFirst(const char* text);
    bool removeFirst(const wchar_t* text);
    bool removeFirst(MultiTypeString& other);
    MultiTypeString& replaceFirst(MultiTypeString& what, MultiTypeString& with);
    MultiTypeString& replaceAll(MultiTypeString& what, MultiTypeString& with);
    void makeUpper();
    void makeLower();

    MultiTypeString& operator=(const MultiTypeString& other);
    MultiTypeString& operator=(const char* text);
    MultiTypeString& operator=(const wchar_t* text);
    MultiTypeString& operator=(int value);
    MultiTypeString& operator+=(const MultiTypeString& other);
    MultiTypeString& operator+=(const char* text);
    MultiTypeString& operator+=(const wchar_t* text);
    MultiTypeString& operator+=(int value);

private:
    std::string narrow_;
    std::wstring wide_;
    unsigned form_ = BothForms;
};

MultiTypeString operator+(const MultiTypeString& left, const MultiTypeString& right);
MultiTypeString operator+(const MultiTypeString& left, const char* right);
MultiTypeString operator+(const MultiTypeString& left, const wchar_t* right);
MultiTypeString operator+(const MultiTypeString& left, int right);
MultiTypeString operator+(const char* left, const MultiTypeString& right);
MultiTypeString operator+(const wchar_t* left, const MultiTypeString& right);

// Comparisons may fill in the missing form of either side, hence the
// non-const references; a text or integer side becomes a temporary string.
bool operator==(MultiTypeString& left, MultiTypeString& right);
bool operator==(MultiTypeString& left, const char* right);
bool operator==(MultiTypeString& left, const wchar_t* right);
bool operator==(MultiTypeString& left, int right);
bool operator==(int left, MultiTypeString& right);
bool operator!=(MultiTypeString& left, MultiTypeString& right);
bool operator!=(MultiTypeString& left, const char* right);
bool operator!=(MultiTypeString& left, const wchar_t* right);
bool operator!=(MultiTypeString& left, int right);
bool operator!=(int left, MultiTypeString& right);
bool operator<(MultiTypeString& left, MultiTypeString& right);
bool operator<(MultiTypeString& left, const char* right);
bool operator<(MultiTypeString& left, const wchar_t* right);
bool operator<(const char* left, MultiTypeString& right);
bool operator<(const wchar_t* left, MultiTypeString& right);
bool operator>(MultiTypeString& left, MultiTypeString& right);
bool operator>(MultiTypeString& left, const char* right);
bool operator>(MultiTypeString& left, const wchar_t* right);
bool operator>(const char* left, MultiTypeString& right);
bool operator>(const wchar_t* left, MultiTypeString& right);
bool operator<=(MultiTypeString& left, MultiTypeString& right);
bool operator<=(MultiTypeString& left, const char* right);
bool operator<=(MultiTypeString& left, const wchar_t* right);
bool operator<=(const char* left, MultiTypeString& right);
bool operator<=(const wchar_t* left, MultiTypeString& right);
bool operator>=(MultiTypeString& left, MultiTypeString& right);
bool operator>=(MultiTypeString& left, const char* right);
bool operator>=(MultiTypeString& left, const wchar_t* right);
bool operator>=(const char* left, MultiTypeString& right);
bool operator>=(const wchar_t* left, MultiTypeString& right);

} // namespace Quorith
