// The words of job-control tickets and of the feature texts stored for a
// queue, and typed reads of them from a ticket. An enumeration value is its
// word's position; a text that is no word converts to the table's "other"
// value, and a value out of range to the empty text.
#pragma once

#include <string>

namespace MPrint {
class XMLTicket;
}

namespace jct {

enum class WordTable { Level, Enable, Location, Orientation, Boolean };

// Other values: level 10, enable 2, location 3, orientation 2, boolean -1.
int otherValue(WordTable table);
int valueOfWord(WordTable table, const std::wstring& word);
// Boolean -1 is "maybe".
std::wstring wordOfValue(WordTable table, int value);

// The ticket's text at the XPath (its getValue, use-cached): false for no
// ticket or no text; the output is untouched on false.
bool readText(MPrint::XMLTicket* ticket, const std::wstring& xpath, std::wstring& text);
// The text converted by the table: false as above or when it is no word.
bool readWord(MPrint::XMLTicket* ticket, const std::wstring& xpath, WordTable table, int& value);

// The seven image-adjustment settings below a base XPath, in the order
// contrast, shadow detail, sharpening, smoothing, focus (levels), red eye,
// pet eye (booleans). All seven read or none is stored.
struct AdjustmentSettings {
    int levels[5];
    int flags[2];
};
bool readSettings(MPrint::XMLTicket* ticket, const std::wstring& base, AdjustmentSettings& settings);

} // namespace jct
