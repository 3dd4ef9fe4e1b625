#include "bidi/DestinationVerifyPING.h"

#include "core/Socket.h"
#include "core/StringConversion.h"

#include <string>

bool DestinationVerifyPING::Verify()
{
    if (address_.getString().empty() || !(address_.isHostName() || address_.isIPAddress()))
        return false;
    std::string host;
    if (!convertString(address_.getString(), host, CP_ACP))
        return false;
    MPrint::Socket socket(host, normalisePort(port_));
    const bool connected = socket.isConnected();
    if (socket.isValid())
        socket.close(false);
    return connected;
}
