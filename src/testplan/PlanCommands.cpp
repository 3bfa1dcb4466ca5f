#include "testplan/PlanCommands.h"

#include "session/SessionCommands.h"

namespace relvane
{

bool CommandDisturbsPlan(int nId)
{
    switch (nId)
    {
    case ID_MODE_94:
    case ID_MODE_103:
    case ID_MODE_ETH103:
    case ID_SERIAL_CONNECT:
    case ID_SERIAL_DISCONNECT:
    case ID_SERIAL_SETTINGS:
    case ID_DEVICE_ADDRESS:
    case ID_AUTO_PROCESS:
    case ID_POLL_INTERVAL:
    case ID_94_POLL:
    case ID_103_POLLING:
    case ID_103_CUSTOM_FRAME:
    case ID_DISTURBANCE_UPLOAD:
        return true;
    default:
        return false;
    }
}

} // namespace relvane
