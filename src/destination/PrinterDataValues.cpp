#include "destination/PrinterDataValues.h"

#include <cstring>
#include <cwchar>

namespace MPrint {

PrinterDataValues::~PrinterDataValues()
{
    for (PrinterDataValue* entry : entries_)
        delete entry;
}

void PrinterDataValues::addString(const wchar_t* name, const wchar_t* text)
{
    const wchar_t* value = text ? text : L"";
    add(name, REG_SZ, static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(wchar_t)),
        reinterpret_cast<const BYTE*>(value));
}

void PrinterDataValues::addDword(const wchar_t* name, DWORD value)
{
    add(name, REG_DWORD, sizeof(value), reinterpret_cast<const BYTE*>(&value));
}

void PrinterDataValues::addBinary(const wchar_t* name, DWORD size, const BYTE* bytes)
{
    add(name, REG_BINARY, size, bytes);
}

void PrinterDataValues::addMultiString(const wchar_t* name, DWORD size, const BYTE* bytes)
{
    add(name, REG_MULTI_SZ, size, bytes);
}

void PrinterDataValues::addDeletion(const wchar_t* name)
{
    add(name, REG_NONE, 0, nullptr);
}

PrinterDataValue* const* PrinterDataValues::getValues(DWORD* count) const
{
    if (count)
        *count = static_cast<DWORD>(entries_.size());
    return entries_.data();
}

const PrinterDataValue* PrinterDataValues::find(const wchar_t* name) const
{
    if (!name)
        return nullptr;
    for (const PrinterDataValue* entry : entries_)
        if (entry->name == name)
            return entry;
    return nullptr;
}

void PrinterDataValues::add(const wchar_t* name, DWORD type, DWORD size, const BYTE* bytes)
{
    if (!name)
        return;
    if (!bytes)
        size = 0;
    auto data = std::make_unique<BYTE[]>(size ? size : 1);
    if (size)
        std::memcpy(data.get(), bytes, size);
    PrinterDataValue* entry = const_cast<PrinterDataValue*>(find(name));
    if (!entry) {
        auto created = std::make_unique<PrinterDataValue>();
        created->name = name;
        entries_.reserve(entries_.size() + 1);
        entry = created.release();
        entries_.push_back(entry);
    }
    entry->type = type;
    entry->size = size;
    entry->data = std::move(data);
}

} // namespace MPrint
