// The second way to a device address: the maker's shared I/O component
// classifies a queue's port and answers its address. COM must already be
// initialised on the calling thread; the component is in-process only.
#pragma once

#include "core/Win32.h"

#include <string>

namespace MPrint {

class PortResolver {
public:
    PortResolver() = default;
    virtual ~PortResolver() = default;
    PortResolver(const PortResolver&) = delete;
    PortResolver& operator=(const PortResolver&) = delete;

    // flags: in/out, the kinds the classification reports. With none of the
    // address kinds reported the classification alone is success and the
    // texts stay as they were; a direct connection (flag 16) counts only when
    // the machine allows it ("DirectConnectBidiSupported"). Outputs keep their
    // values unless the component answered a text or value.
    virtual bool resolve(const std::wstring& printerName, std::wstring& secondaryText, std::wstring& address,
                         DWORD& valueA, DWORD& flags, DWORD& valueB);

    // GetPrinterW of the named printer into a 1000-byte buffer, grown once to
    // the need + 100; a GPTR block the caller frees with GlobalFree, or null.
    static BYTE* getPrinterInfoByName(const std::wstring& printerName, DWORD level);
};

} // namespace MPrint
