// Builders of the "/PMLTree" subtree of a legacy device ticket: collect()
// derives records from the trees the device offers, write() appends them as
// "/PMLTree/<element>[i]" children. The ticket is borrowed.
#pragma once

#include "core/Win32.h"

#include <initializer_list>
#include <string>
#include <utility>

namespace MPrint {

class DeviceTicket;

class OIDHelper {
public:
    explicit OIDHelper(DeviceTicket* ticket) : ticket_(ticket) {}
    virtual bool hasValue(const std::wstring& path);
    // Removes the node at the path as many times as it has children; false
    // when the children cannot be counted.
    virtual bool removeNodes(const std::wstring& path);
    virtual bool collect() { return false; }
    virtual bool write() = 0;
    virtual ~OIDHelper() = default;

protected:
    // "/PMLTree" exists afterwards (appended when it did not).
    bool ensureSubtree();
    // "/PMLTree/<element>[index]" with the children (name, text) set in order.
    bool writeRecord(const wchar_t* element, size_t index,
                     std::initializer_list<std::pair<const wchar_t*, std::wstring>> children);

    DeviceTicket* ticket_;
};

} // namespace MPrint
