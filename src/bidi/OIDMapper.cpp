#include "bidi/OIDMapper.h"

namespace MPrint {

OIDMapper::OIDMapper(DWORD rowType, DWORD rowFlags, std::wstring rowXPath, std::string next, OIDConverter rowConverter)
    : type(rowType), flags(rowFlags), xpath(std::move(rowXPath)), nextOID(std::move(next)), converter(rowConverter)
{
}

void OIDMapper::addAlternateXPath(const std::wstring& alternate) { alternateXPaths.push_back(alternate); }

bool OIDMapper::nextAlternateXPath(std::wstring& alternate)
{
    if (alternateXPaths.empty())
        return false;
    alternate = alternateXPaths.front();
    alternateXPaths.pop_front();
    return true;
}

} // namespace MPrint
