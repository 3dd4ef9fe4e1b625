#include "tickets/JCTWords.h"

#include "tickets/XMLTicket.h"

#include <array>
#include <vector>

namespace jct {

namespace {

struct Table {
    std::vector<const wchar_t*> words;
    int other;
};

const Table& tableOf(WordTable table)
{
    static const std::array<Table, 5> tables = {{
        {{L"disabled", L"lower3", L"lower", L"low", L"middle", L"high", L"higher", L"higher3", L"useDefaults",
          L"invalid"},
         10},
        {{L"enabled", L"disabled"}, 2},
        {{L"device", L"host", L"none"}, 3},
        {{L"FaceUp", L"FaceDown"}, 2},
        {{L"false", L"true"}, -1},
    }};
    return tables[static_cast<size_t>(table)];
}

constexpr const wchar_t* kSettingNames[] = {L"/dd:Contrast", L"/dd:ShadowDetail", L"/dd:Sharpening",
                                            L"/dd:Smoothing", L"/dd:Focusync",    L"/dd:RedEye",
                                            L"/dd:PetEye"};

} // namespace

int otherValue(WordTable table) { return tableOf(table).other; }

int valueOfWord(WordTable table, const std::wstring& word)
{
    const Table& t = tableOf(table);
    for (size_t i = 0; i < t.words.size(); ++i)
        if (word == t.words[i])
            return static_cast<int>(i);
    if (table == WordTable::Boolean) {
        if (word == L"1")
            return 1;
        if (word == L"0")
            return 0;
    }
    return t.other;
}

std::wstring wordOfValue(WordTable table, int value)
{
    const Table& t = tableOf(table);
    if (table == WordTable::Boolean && value == -1)
        return L"maybe";
    if (value < 0 || static_cast<size_t>(value) >= t.words.size())
        return {};
    return t.words[value];
}

bool readText(MPrint::XMLTicket* ticket, const std::wstring& xpath, std::wstring& text)
{
    std::wstring found;
    if (!ticket || !ticket->getValue(xpath, found, true))
        return false;
    text = found;
    return true;
}

bool readWord(MPrint::XMLTicket* ticket, const std::wstring& xpath, WordTable table, int& value)
{
    std::wstring text;
    if (!readText(ticket, xpath, text))
        return false;
    const int converted = valueOfWord(table, text);
    if (converted == otherValue(table))
        return false;
    value = converted;
    return true;
}

bool readSettings(MPrint::XMLTicket* ticket, const std::wstring& base, AdjustmentSettings& settings)
{
    AdjustmentSettings read{};
    for (int i = 0; i < 7; ++i) {
        int& target = i < 5 ? read.levels[i] : read.flags[i - 5];
        if (!readWord(ticket, base + kSettingNames[i], i < 5 ? WordTable::Level : WordTable::Boolean, target))
            return false;
    }
    settings = read;
    return true;
}

} // namespace jct
