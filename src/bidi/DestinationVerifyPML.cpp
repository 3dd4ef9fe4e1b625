#include "bidi/DestinationVerifyPML.h"

#include "bidi/BidiPrinterConnectionIntf.h"
#include "bidi/TrebukBidiConnection.h"

bool DestinationVerifyPML::Verify()
{
    if (address_.getString().empty())
        return false;
    DWORD kind = 0;
    if (address_.isIPAddress())
        kind = MPrint::BidiAddressIp;
    else if (address_.isHostName())
        kind = MPrint::BidiAddressHostName;
    else
        return false;
    MPrint::TrebukBidiConnection connection(nullptr);
    if (!connection.Connect(nullptr, address_.getString().c_str(), kind, normalisePort(port_)))
        return false;
    connection.Close();
    return true;
}
