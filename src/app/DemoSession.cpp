#include "app/DemoSession.h"

#include "app/MainFrame.h"
#include "session/SessionCommands.h"

#include <QTimer>
#include <vector>

namespace relvane
{

namespace
{

void Play(CMainFrame& frame, std::vector<int> commands)
{
    int nDelay = 100;
    for (const int nId : commands)
    {
        QTimer::singleShot(nDelay, &frame, [&frame, nId] { frame.OnCommand(nId); });
        nDelay += 150;
    }
}

} // namespace

bool ParseDemoMode(const QString& strName, int& nMode)
{
    if (strName == QStringLiteral("94"))
        nMode = MODE_94;
    else if (strName == QStringLiteral("103"))
        nMode = MODE_103;
    else if (strName == QStringLiteral("eth"))
        nMode = MODE_ETH103;
    else
        return false;
    return true;
}

void StartDemo(CMainFrame& frame, int nMode)
{
    switch (nMode)
    {
    case MODE_103:
        frame.OnCommand(ID_MODE_103);
        Play(frame, {ID_SERIAL_CONNECT, ID_103_LINK_STATUS, ID_103_RESET_CU, ID_103_CLASS2});
        break;
    case MODE_ETH103:
        frame.OnCommand(ID_MODE_ETH103);
        Play(frame, {ID_ETH_TCP_LISTEN, ID_ETH_UDP_ONCE, ID_ETH_UDP_TIME_INFO, ID_ETH_UDP_ONCE});
        break;
    default:
        frame.OnCommand(ID_MODE_94);
        Play(frame, {ID_SERIAL_CONNECT, ID_94_POLL, 32801, 32798});
        break;
    }
}

} // namespace relvane
