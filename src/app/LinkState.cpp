#include "app/LinkState.h"

#include "session/RelvaneView.h"

#include <QStringList>

namespace relvane
{

QString LinkStateText(CRelvaneView& view)
{
    QStringList parts;
    if (view.PortOpen())
    {
        // Connecting leaves the bare number as the port text.
        QString strPort = QString::fromStdString(view.Port());
        if (!strPort.startsWith(QStringLiteral("COM")))
            strPort.prepend(QStringLiteral("COM"));
        parts << QStringLiteral("已连接 %1 %2 %3")
                     .arg(strPort, QString::fromStdString(view.Baud()), QString::fromStdString(view.Parity()));
    }
    if (view.Mode() == MODE_ETH103 && view.NetworkChannel().TcpRunFlag())
        parts << QStringLiteral("监听 TCP %1").arg(view.NetworkChannel().LocalTcpPort());
    if (parts.isEmpty())
        return QStringLiteral("未连接");
    const bool bPolling = (view.Mode() == MODE_94 && view.Proto94Polling()) ||
                          (view.Mode() == MODE_103 && view.PortOpen() && view.Iec103Polling());
    if (bPolling)
        parts << QStringLiteral("巡检中");
    return parts.join(u' ');
}

QString WidestLinkStateText()
{
    return QStringLiteral("已连接 COM256 115200 Space 巡检中");
}

} // namespace relvane
