#include "core/MultiTypeString.h"

#include "core/DeleteArrayAndNull.h"
#include "core/Win32.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <new>

namespace Quorith {

namespace {

// Largest byte count a conversion buffer may take.
constexpr size_t kMaxConversionBytes = 0x7FFDEF00;

std::wstring decimalText(int value)
{
    wchar_t buffer[64] = {};
    std::swprintf(buffer, 64, L"%d", value);
    return buffer;
}

} // namespace

const size_t MultiTypeString::npos = static_cast<size_t>(-1);
const MultiTypeString MultiTypeString::emptyString("");

MultiTypeString::MultiTypeString() = default;

MultiTypeString::MultiTypeString(const char* text)
{
    if (text) {
        narrow_ = text;
        form_ = NarrowForm;
    }
}

MultiTypeString::MultiTypeString(const wchar_t* text)
{
    if (text) {
        wide_ = text;
        form_ = WideForm;
    }
}

MultiTypeString::MultiTypeString(std::string text) : narrow_(std::move(text)), form_(NarrowForm) {}

MultiTypeString::MultiTypeString(std::wstring text) : wide_(std::move(text)), form_(WideForm) {}

MultiTypeString::MultiTypeString(const MultiTypeString& other) = default;

MultiTypeString::MultiTypeString(const int& value) : wide_(decimalText(value)), form_(WideForm) {}

MultiTypeString::MultiTypeString(const char* text, size_t count) { assign(text, count); }

MultiTypeString::MultiTypeString(const wchar_t* text, size_t count) { assign(text, count); }

MultiTypeString::MultiTypeString(const MultiTypeString& other, size_t count) { assign(other, count); }

MultiTypeString::~MultiTypeString() = default;

bool MultiTypeString::isEmpty() { return form_ == NarrowForm ? narrow_.empty() : wide_.empty(); }

bool MultiTypeString::isEqual(MultiTypeString& other)
{
    if (other.form_ == WideForm) {
        if (form_ == NarrowForm)
            synchronize();
        return wide_ == other.wide_;
    }
    if (other.form_ == BothForms)
        return form_ == WideForm ? wide_ == other.wide_ : narrow_ == other.narrow_;
    if (form_ == WideForm)
        synchronize();
    return narrow_ == other.narrow_;
}

int MultiTypeString::compare(MultiTypeString& other)
{
    if (isEqual(other))
        return 0;
    // isEqual has left both sides holding the form it compared.
    const bool wide = other.form_ == WideForm || (other.form_ == BothForms && form_ == WideForm);
    // std::string compares through char_traits<char>, which orders as unsigned bytes.
    const int order = wide ? wide_.compare(other.wide_) : narrow_.compare(other.narrow_);
    return order < 0 ? -1 : 1;
}

size_t MultiTypeString::length() { return form_ == WideForm ? wide_.size() : narrow_.size(); }

size_t MultiTypeString::find(MultiTypeString& other, size_t start)
{
    return other.form_ == WideForm ? find(other.wide_.c_str(), start) : find(other.narrow_.c_str(), start);
}

size_t MultiTypeString::find(const char* text, size_t start)
{
    if (!text)
        return npos;
    ensureForm(NarrowForm);
    return narrow_.find(text, start);
}

size_t MultiTypeString::find(const wchar_t* text, size_t start)
{
    if (!text)
        return npos;
    ensureForm(WideForm);
    return wide_.find(text, start);
}

size_t MultiTypeString::rfind(MultiTypeString& other, size_t start)
{
    return other.form_ == WideForm ? rfind(other.wide_.c_str(), start) : rfind(other.narrow_.c_str(), start);
}

size_t MultiTypeString::rfind(const char* text, size_t start)
{
    if (!text)
        return npos;
    ensureForm(NarrowForm);
    return narrow_.rfind(text, start);
}

size_t MultiTypeString::rfind(const wchar_t* text, size_t start)
{
    if (!text)
        return npos;
    ensureForm(WideForm);
    return wide_.rfind(text, start);
}

size_t MultiTypeString::findFirstOf(MultiTypeString& other, size_t start)
{
    return other.form_ == WideForm ? findFirstOf(other.wide_.c_str(), start)
                                   : findFirstOf(other.narrow_.c_str(), start);
}

size_t MultiTypeString::findFirstOf(const char* text, size_t start)
{
    if (!text)
        return npos;
    ensureForm(NarrowForm);
    return narrow_.find_first_of(text, start);
}

size_t MultiTypeString::findFirstOf(const wchar_t* text, size_t start)
{
    if (!text)
        return npos;
    ensureForm(WideForm);
    return wide_.find_first_of(text, start);
}

size_t MultiTypeString::findLastOf(MultiTypeString& other, size_t start)
{
    return other.form_ == WideForm ? findLastOf(other.wide_.c_str(), start)
                                   : findLastOf(other.narrow_.c_str(), start);
}

size_t MultiTypeString::findLastOf(const char* text, size_t start)
{
    if (!text)
        return npos;
    ensureForm(NarrowForm);
    return narrow_.find_last_of(text, start);
}

size_t MultiTypeString::findLastOf(const wchar_t* text, size_t start)
{
    if (!text)
        return npos;
    ensureForm(WideForm);
    return wide_.find_last_of(text, start);
}

bool MultiTypeString::synchronize()
{
    if (form_ == BothForms)
        return true;
    const bool converted = form_ == NarrowForm ? convertNarrowToWide() : convertWideToNarrow();
    if (converted)
        form_ = BothForms;
    return converted;
}

bool MultiTypeString::convertNarrowToWide()
{
    if (narrow_.empty()) {
        wide_.clear();
        return true;
    }
    const size_t n = narrow_.size() + 1;
    if (n > kMaxConversionBytes / 2)
        return false;
    wchar_t* buffer = new (std::nothrow) wchar_t[n]();
    if (!buffer)
        return false;
    const int written = MultiByteToWideChar(CP_ACP, 0, narrow_.data(), static_cast<int>(narrow_.size()), buffer,
                                            static_cast<int>(n));
    if (written > 0)
        wide_ = buffer;
    deleteArrayAndNull(&buffer);
    return written > 0;
}

bool MultiTypeString::convertWideToNarrow()
{
    if (wide_.empty()) {
        narrow_.clear();
        return true;
    }
    const size_t n = wide_.size() + 1;
    if (n > kMaxConversionBytes / 2)
        return false;
    char* buffer = new (std::nothrow) char[n * 2]();
    if (!buffer)
        return false;
    const int written = WideCharToMultiByte(CP_ACP, 0, wide_.data(), static_cast<int>(wide_.size()), buffer,
                                            static_cast<int>(n * 2), nullptr, nullptr);
    if (written > 0)
        narrow_ = buffer;
    deleteArrayAndNull(&buffer);
    return written > 0;
}

void MultiTypeString::ensureForm(unsigned wanted)
{
    if (form_ != BothForms && form_ != wanted)
        synchronize();
}

const wchar_t* MultiTypeString::toWide()
{
    ensureForm(WideForm);
    return wide_.c_str();
}

const char* MultiTypeString::toNarrow()
{
    ensureForm(NarrowForm);
    return narrow_.c_str();
}

MultiTypeString MultiTypeString::substr(size_t position, size_t count)
{
    if (isEmpty() || position == npos || position >= length() || count == 0)
        return MultiTypeString();
    // Taken through c_str so the piece ends at an embedded NUL.
    if (form_ == WideForm)
        return MultiTypeString(std::wstring(wide_.substr(position, count).c_str()));
    return MultiTypeString(std::string(narrow_.substr(position, count).c_str()));
}

bool MultiTypeString::split(MultiTypeString delimiters, std::vector<MultiTypeString>& pieces)
{
    if (delimiters.isEmpty()) {
        pieces.push_back(*this);
        return true;
    }
    if (isEmpty())
        return false;
    MultiTypeString rest(*this);
    while (!rest.isEmpty()) {
        const size_t p = rest.findFirstOf(delimiters, 0);
        if (p == npos) {
            pieces.push_back(rest);
            rest.clear();
        } else {
            pieces.push_back(p == 0 ? MultiTypeString() : rest.substr(0, p));
            rest.erase(0, p + 1);
        }
    }
    return true;
}

bool MultiTypeString::clear()
{
    const bool hadText = !narrow_.empty() || !wide_.empty();
    narrow_.clear();
    wide_.clear();
    form_ = BothForms;
    return hadText;
}

MultiTypeString& MultiTypeString::assign(const char* text, size_t count)
{
    clear();
    if (text && *text && count > 0) {
        narrow_.assign(text, count);
        form_ = NarrowForm;
    }
    return *this;
}

MultiTypeString& MultiTypeString::assign(const wchar_t* text, size_t count)
{
    clear();
    if (text && *text && count > 0) {
        wide_.assign(text, count);
        form_ = WideForm;
    }
    return *this;
}

MultiTypeString& MultiTypeString::assign(const MultiTypeString& other, size_t count)
{
    // Copied first: the other may be this object.
    if (other.form_ == WideForm) {
        const std::wstring text = other.wide_;
        return assign(text.c_str(), std::min(count, text.size()));
    }
    const std::string text = other.narrow_;
    return assign(text.c_str(), std::min(count, text.size()));
}

bool MultiTypeString::append(const char* text)
{
    if (!text)
        return false;
    ensureForm(NarrowForm);
    narrow_ += text;
    form_ = NarrowForm;
    return true;
}

bool MultiTypeString::append(const wchar_t* text)
{
    if (!text)
        return false;
    ensureForm(WideForm);
    wide_ += text;
    form_ = WideForm;
    return true;
}

void MultiTypeString::append(const MultiTypeString& other)
{
    if (other.form_ == WideForm) {
        const std::wstring text = other.wide_;
        append(text.c_str());
    } else {
        const std::string text = other.narrow_;
        append(text.c_str());
    }
}

MultiTypeString& MultiTypeString::insert(size_t position, const char* text)
{
    if (!text)
        return *this;
    ensureForm(NarrowForm);
    if (position == npos || position == narrow_.size())
        narrow_ += text;
    else if (position > narrow_.size())
        return *this;
    else
        narrow_.insert(position, text);
    form_ = NarrowForm;
    return *this;
}

MultiTypeString& MultiTypeString::insert(size_t position, const wchar_t* text)
{
    if (!text)
        return *this;
    ensureForm(WideForm);
    if (position == npos || position == wide_.size())
        wide_ += text;
    else if (position > wide_.size())
        return *this;
    else
        wide_.insert(position, text);
    form_ = WideForm;
    return *this;
}

MultiTypeString& MultiTypeString::insert(size_t position, const MultiTypeString& other)
{
    if (other.form_ == WideForm) {
        const std::wstring text = other.wide_;
        return insert(position, text.c_str());
    }
    const std::string text = other.narrow_;
    return insert(position, text.c_str());
}

bool MultiTypeString::erase(size_t position, size_t count)
{
    const size_t size = length();
    if (isEmpty() || position >= size || (count != npos && (count > size || position > size - count)))
        return false;
    if (form_ == WideForm) {
        wide_.erase(position, count);
    } else {
        narrow_.erase(position, count);
        form_ = NarrowForm;
    }
    return true;
}

bool MultiTypeString::removeFirst(const char* text)
{
    if (!text || isEmpty())
        return false;
    ensureForm(NarrowForm);
    const size_t position = narrow_.find(text);
    return position != npos && erase(position, std::char_traits<char>::length(text));
}

bool MultiTypeString::removeFirst(const wchar_t* text)
{
    if (!text || isEmpty())
        return false;
    ensureForm(WideForm);
    const size_t position = wide_.find(text);
    return position != npos && erase(position, std::char_traits<wchar_t>::length(text));
}

bool MultiTypeString::removeFirst(MultiTypeString& other)
{
    if (isEmpty())
        return false;
    ensureForm(other.form_);
    return other.form_ == WideForm ? removeFirst(other.wide_.c_str()) : removeFirst(other.narrow_.c_str());
}

MultiTypeString& MultiTypeString::replaceFirst(MultiTypeString& what, MultiTypeString& with)
{
    const size_t position = find(what, 0);
    if (position != npos && removeFirst(what))
        insert(position, with);
    return *this;
}

MultiTypeString& MultiTypeString::replaceAll(MultiTypeString& what, MultiTypeString& with)
{
    if (what.isEmpty())
        return *this;
    const size_t whatLength = what.length();
    size_t position = 0;
    for (;;) {
        position = find(what, position);
        if (position == npos)
            break;
        erase(position, whatLength);
        const size_t before = length();
        insert(position, with);
        position += length() - before;
    }
    return *this;
}

void MultiTypeString::makeUpper()
{
    if (isEmpty())
        return;
    if (form_ == WideForm) {
        for (wchar_t& c : wide_)
            c = static_cast<wchar_t>(std::towupper(c));
    } else {
        for (char& c : narrow_)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        form_ = NarrowForm;
    }
}

void MultiTypeString::makeLower()
{
    if (isEmpty())
        return;
    if (form_ == WideForm) {
        for (wchar_t& c : wide_)
            c = static_cast<wchar_t>(std::towlower(c));
    } else {
        for (char& c : narrow_)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        form_ = NarrowForm;
    }
}

MultiTypeString& MultiTypeString::operator=(const MultiTypeString& other)
{
    if (this != &other) {
        narrow_ = other.narrow_;
        wide_ = other.wide_;
        form_ = other.form_;
    }
    return *this;
}

MultiTypeString& MultiTypeString::operator=(const char* text)
{
    narrow_ = text ? text : "";
    form_ = NarrowForm;
    return *this;
}

MultiTypeString& MultiTypeString::operator=(const wchar_t* text)
{
    wide_ = text ? text : L"";
    form_ = WideForm;
    return *this;
}

MultiTypeString& MultiTypeString::operator=(int value) { return *this = MultiTypeString(value); }

MultiTypeString& MultiTypeString::operator+=(const MultiTypeString& other)
{
    if (other.form_ == NarrowForm) {
        const std::string text = other.narrow_;
        append(text.c_str());
    } else {
        const std::wstring text = other.wide_;
        append(text.c_str());
    }
    return *this;
}

MultiTypeString& MultiTypeString::operator+=(const char* text)
{
    append(text);
    return *this;
}

MultiTypeString& MultiTypeString::operator+=(const wchar_t* text)
{
    append(text);
    return *this;
}

MultiTypeString& MultiTypeString::operator+=(int value) { return *this += MultiTypeString(value); }

MultiTypeString operator+(const MultiTypeString& left, const MultiTypeString& right)
{
    MultiTypeString result(left);
    result += right;
    return result;
}

MultiTypeString operator+(const MultiTypeString& left, const char* right) { return left + MultiTypeString(right); }
MultiTypeString operator+(const MultiTypeString& left, const wchar_t* right) { return left + MultiTypeString(right); }
MultiTypeString operator+(const MultiTypeString& left, int right) { return left + MultiTypeString(right); }
MultiTypeString operator+(const char* left, const MultiTypeString& right) { return MultiTypeString(left) + right; }
MultiTypeString operator+(const wchar_t* left, const MultiTypeString& right) { return MultiTypeString(left) + right; }

bool operator==(MultiTypeString& left, MultiTypeString& right) { return &left == &right || left.isEqual(right); }
bool operator!=(MultiTypeString& left, MultiTypeString& right) { return &left != &right && !left.isEqual(right); }
bool operator<(MultiTypeString& left, MultiTypeString& right) { return left.compare(right) == -1; }
bool operator>(MultiTypeString& left, MultiTypeString& right) { return left.compare(right) == 1; }
bool operator<=(MultiTypeString& left, MultiTypeString& right) { return left.compare(right) != 1; }
bool operator>=(MultiTypeString& left, MultiTypeString& right) { return left.compare(right) != -1; }

// A text or integer operand becomes a temporary string on its own side.
#define QUORITH_MIXED_OPERATOR(op, Type)                                                                     \
    bool operator op(MultiTypeString& left, Type right)                                                   \
    {                                                                                                      \
        MultiTypeString other(right);                                                                      \
        return left op other;                                                                              \
    }
#define QUORITH_MIXED_OPERATOR_LEFT(op, Type)                                                                \
    bool operator op(Type left, MultiTypeString& right)                                                   \
    {                                                                                                      \
        MultiTypeString other(left);                                                                       \
        return other op right;                                                                             \
    }
#define QUORITH_MIXED_OPERATORS(op)                                                                          \
    QUORITH_MIXED_OPERATOR(op, const char*)                                                                \
    QUORITH_MIXED_OPERATOR(op, const wchar_t*)
#define QUORITH_MIXED_TEXT_LEFT(op)                                                                          \
    QUORITH_MIXED_OPERATOR_LEFT(op, const char*)                                                           \
    QUORITH_MIXED_OPERATOR_LEFT(op, const wchar_t*)

QUORITH_MIXED_OPERATORS(==)
QUORITH_MIXED_OPERATORS(!=)
QUORITH_MIXED_OPERATORS(<)
QUORITH_MIXED_OPERATORS(>)
QUORITH_MIXED_OPERATORS(<=)
QUORITH_MIXED_OPERATORS(>=)
QUORITH_MIXED_TEXT_LEFT(<)
QUORITH_MIXED_TEXT_LEFT(>)
QUORITH_MIXED_TEXT_LEFT(<=)
QUORITH_MIXED_TEXT_LEFT(>=)
QUORITH_MIXED_OPERATOR(==, int)
QUORITH_MIXED_OPERATOR(!=, int)
QUORITH_MIXED_OPERATOR_LEFT(==, int)
QUORITH_MIXED_OPERATOR_LEFT(!=, int)

} // namespace Quorith
