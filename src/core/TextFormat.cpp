#include "core/TextFormat.h"

#include <cstdarg>
#include <cstdlib>
#include <cwctype>

bool insertArguments(wchar_t* destination, size_t capacity, const wchar_t* format, int count, ...)
{
    if (!destination || capacity == 0)
        return false;
    const wchar_t* arguments[10] = {};
    va_list list;
    va_start(list, count);
    for (int i = 1; i <= count; ++i) {
        const wchar_t* argument = va_arg(list, const wchar_t*);
        if (i <= 9)
            arguments[i] = argument;
    }
    va_end(list);

    size_t written = 0;
    const size_t limit = capacity - 1;
    auto put = [&](wchar_t c) {
        if (written < limit)
            destination[written++] = c;
    };
    for (const wchar_t* p = format ? format : L""; *p; ++p) {
        if (*p != L'%') {
            put(*p);
            continue;
        }
        const wchar_t next = p[1];
        if (next == L'\0')
            break;
        ++p;
        if (next == L'%') {
            put(L'%');
        } else if (next >= L'1' && next <= L'9') {
            const int index = next - L'0';
            if (index <= count && arguments[index]) {
                for (const wchar_t* a = arguments[index]; *a; ++a)
                    put(*a);
            }
        }
    }
    destination[written] = L'\0';
    return true;
}

void trimWhitespace(std::wstring& text, bool leading, bool trailing)
{
    if (text.empty() || (!leading && !trailing))
        return;
    size_t first = 0;
    size_t last = text.size() - 1;
    if (leading) {
        while (first < last && std::iswspace(text[first]))
            ++first;
    }
    if (trailing) {
        while (last > first && std::iswspace(text[last]))
            --last;
    }
    if (first == last && std::iswspace(text[first])) {
        text.clear();
        return;
    }
    if (first == 0 && last == text.size() - 1)
        return;
    text = text.substr(first, last - first + 1);
}

long parseHex(const char* text)
{
    if (!text)
        return 0;
    return std::strtol(text, nullptr, 16);
}
