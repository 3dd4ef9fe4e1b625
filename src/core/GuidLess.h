// Orders class ids by their 16 bytes as stored (memcmp), the order in which
// components are enumerated; it differs from the order of their texts.
#pragma once

#include "core/Win32.h"

#include <cstring>

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};
