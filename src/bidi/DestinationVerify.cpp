#include "bidi/DestinationVerify.h"

uint32_t DestinationVerify::normalisePort(uint32_t port)
{
    switch (port) {
    case 0:
    case 1:
        return 9100;
    case 2:
    case 3:
        return 9101;
    default:
        return port;
    }
}
