#include "app/ToolbarIcons.h"

#include "app/CommandTable.h"
#include "session/SessionCommands.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace relvane
{

namespace
{

constexpr int kSize = 16;

QPixmap Draw(const std::function<void(QPainter&)>& fnDraw)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    fnDraw(painter);
    return pixmap;
}

// A rounded badge with up to three characters: the protocol commands.
QPixmap Badge(const QString& strText, const QColor& fill)
{
    return Draw(
        [&](QPainter& painter)
        {
            painter.setPen(QPen(fill.darker(140), 1));
            painter.setBrush(fill);
            painter.drawRoundedRect(QRectF(0.5, 0.5, kSize - 1, kSize - 1), 3, 3);
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setBold(true);
            font.setPixelSize(strText.size() > 2 ? 6 : (strText.size() > 1 ? 8 : 11));
            font.setStyleStrategy(QFont::PreferAntialias);
            painter.setFont(font);
            painter.setPen(Qt::white);
            painter.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, strText);
        });
}

QPixmap Page()
{
    return Draw(
        [](QPainter& painter)
        {
            QPainterPath path;
            path.moveTo(3.5, 1.5);
            path.lineTo(10.5, 1.5);
            path.lineTo(13.5, 4.5);
            path.lineTo(13.5, 14.5);
            path.lineTo(3.5, 14.5);
            path.closeSubpath();
            painter.setPen(QPen(QColor(60, 60, 60), 1));
            painter.setBrush(Qt::white);
            painter.drawPath(path);
            painter.drawLine(QPointF(10.5, 1.5), QPointF(10.5, 4.5));
            painter.drawLine(QPointF(10.5, 4.5), QPointF(13.5, 4.5));
        });
}

QPixmap Folder()
{
    return Draw(
        [](QPainter& painter)
        {
            painter.setPen(QPen(QColor(150, 110, 20), 1));
            painter.setBrush(QColor(240, 200, 80));
            painter.drawRect(QRectF(1.5, 4.5, 13, 9));
            painter.setBrush(QColor(250, 220, 120));
            QPolygonF lid;
            lid << QPointF(1.5, 13.5) << QPointF(4.5, 7.5) << QPointF(15.5, 7.5) << QPointF(12.5, 13.5);
            painter.drawPolygon(lid);
            painter.setBrush(QColor(240, 200, 80));
            painter.drawRect(QRectF(1.5, 2.5, 5, 2));
        });
}

QPixmap Disk()
{
    return Draw(
        [](QPainter& painter)
        {
            painter.setPen(QPen(QColor(20, 40, 110), 1));
            painter.setBrush(QColor(50, 90, 190));
            painter.drawRect(QRectF(1.5, 1.5, 13, 13));
            painter.setBrush(Qt::white);
            painter.drawRect(QRectF(4.5, 1.5, 7, 5));
            painter.setBrush(QColor(200, 200, 200));
            painter.drawRect(QRectF(4.5, 9.5, 7, 5));
        });
}

QPixmap Scissors()
{
    return Draw(
        [](QPainter& painter)
        {
            painter.setPen(QPen(QColor(60, 60, 60), 1.4));
            painter.drawLine(QPointF(4, 1), QPointF(10, 11));
            painter.drawLine(QPointF(12, 1), QPointF(6, 11));
            painter.setPen(QPen(QColor(200, 30, 30), 1.4));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(QPointF(4.5, 12.5), 2.5, 2.5);
            painter.drawEllipse(QPointF(11.5, 12.5), 2.5, 2.5);
        });
}

QPixmap Copy()
{
    return Draw(
        [](QPainter& painter)
        {
            painter.setPen(QPen(QColor(60, 60, 60), 1));
            painter.setBrush(Qt::white);
            painter.drawRect(QRectF(1.5, 1.5, 8, 10));
            painter.setBrush(QColor(225, 235, 250));
            painter.drawRect(QRectF(6.5, 4.5, 8, 10));
        });
}

QPixmap Paste()
{
    return Draw(
        [](QPainter& painter)
        {
            painter.setPen(QPen(QColor(110, 70, 20), 1));
            painter.setBrush(QColor(200, 150, 80));
            painter.drawRect(QRectF(1.5, 2.5, 10, 12));
            painter.setBrush(QColor(120, 120, 120));
            painter.drawRect(QRectF(4.5, 1.5, 4, 2));
            painter.setPen(QPen(QColor(60, 60, 60), 1));
            painter.setBrush(Qt::white);
            painter.drawRect(QRectF(7.5, 6.5, 7, 8));
        });
}

QPixmap Printer()
{
    return Draw(
        [](QPainter& painter)
        {
            painter.setPen(QPen(QColor(60, 60, 60), 1));
            painter.setBrush(Qt::white);
            painter.drawRect(QRectF(4.5, 1.5, 7, 5));
            painter.setBrush(QColor(170, 170, 170));
            painter.drawRect(QRectF(1.5, 6.5, 13, 6));
            painter.setBrush(Qt::white);
            painter.drawRect(QRectF(4.5, 10.5, 7, 4));
            painter.setPen(QColor(40, 170, 40));
            painter.drawPoint(QPointF(12.5, 8.5));
        });
}

QPixmap Plug(bool bConnected)
{
    return Draw(
        [bConnected](QPainter& painter)
        {
            const QColor colour = bConnected ? QColor(30, 140, 50) : QColor(190, 40, 40);
            painter.setPen(QPen(colour, 2));
            if (bConnected)
            {
                painter.drawLine(QPointF(1, 8), QPointF(15, 8));
                painter.setBrush(colour);
                painter.drawRect(QRectF(5, 5, 6, 6));
            }
            else
            {
                painter.drawLine(QPointF(1, 8), QPointF(5, 8));
                painter.drawLine(QPointF(11, 8), QPointF(15, 8));
                painter.setBrush(colour);
                painter.drawRect(QRectF(3, 5, 2, 6));
                painter.drawRect(QRectF(11, 5, 2, 6));
            }
        });
}

QPixmap Eraser()
{
    return Draw(
        [](QPainter& painter)
        {
            painter.setPen(QPen(QColor(60, 60, 60), 1));
            painter.setBrush(Qt::white);
            painter.drawRect(QRectF(1.5, 1.5, 11, 13));
            painter.setPen(QPen(QColor(150, 150, 150), 1));
            for (int y = 4; y <= 12; y += 3)
                painter.drawLine(QPointF(3.5, y + 0.5), QPointF(10.5, y + 0.5));
            painter.setPen(QPen(QColor(210, 40, 40), 2));
            painter.drawLine(QPointF(8, 8), QPointF(15, 15));
            painter.drawLine(QPointF(15, 8), QPointF(8, 15));
        });
}

QPixmap Help()
{
    return Draw(
        [](QPainter& painter)
        {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(40, 100, 200));
            painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setBold(true);
            font.setPixelSize(12);
            painter.setFont(font);
            painter.setPen(Qt::white);
            painter.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, QStringLiteral("?"));
        });
}

QPixmap Cycle()
{
    return Draw(
        [](QPainter& painter)
        {
            const QColor colour(120, 60, 170);
            painter.setPen(QPen(colour, 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawArc(QRectF(2.5, 2.5, 11, 11), 30 * 16, 300 * 16);
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            QPolygonF head;
            head << QPointF(10.5, 0.5) << QPointF(15.5, 4.5) << QPointF(9.5, 7.5);
            painter.drawPolygon(head);
        });
}

const QColor kSerialColour(70, 110, 160);
const QColor k94Colour(0, 128, 128);
const QColor k94SettingColour(180, 90, 20);
const QColor k103Colour(40, 90, 170);
const QColor k103AppColour(130, 60, 150);
const QColor kEthColour(30, 130, 70);

} // namespace

QIcon CommandIcon(int nId)
{
    switch (nId)
    {
    case ID_FILE_NEW:
        return QIcon(Page());
    case ID_FILE_OPEN:
        return QIcon(Folder());
    case ID_FILE_SAVE:
        return QIcon(Disk());
    case ID_EDIT_CUT:
        return QIcon(Scissors());
    case ID_EDIT_COPY:
        return QIcon(Copy());
    case ID_EDIT_PASTE:
        return QIcon(Paste());
    case ID_FILE_PRINT:
        return QIcon(Printer());
    case ID_SERIAL_SETTINGS:
        return QIcon(Badge(QStringLiteral("S"), kSerialColour));
    case ID_SERIAL_CONNECT:
        return QIcon(Plug(true));
    case ID_SERIAL_DISCONNECT:
        return QIcon(Plug(false));
    case ID_AUTO_PROCESS:
        return QIcon(Badge(QStringLiteral("A"), QColor(200, 120, 0)));
    case ID_CLEAR_LOG:
        return QIcon(Eraser());
    case ID_APP_ABOUT:
        return QIcon(Help());
    case ID_103_POLLING:
        return QIcon(Cycle());
    case ID_ETH_IP_SETTINGS:
        return QIcon(Badge(QStringLiteral("IP"), kEthColour));
    case ID_ETH_CONNECT:
        return QIcon(Plug(true));
    case ID_ETH_TCP_LISTEN:
        return QIcon(Badge(QStringLiteral("TL"), kEthColour));
    case ID_ETH_TCP_SEND:
        return QIcon(Badge(QStringLiteral("TS"), kEthColour));
    case ID_ETH_UDP_TIMED:
        return QIcon(Badge(QStringLiteral("UT"), QColor(20, 100, 120)));
    case ID_ETH_UDP_ONCE:
        return QIcon(Badge(QStringLiteral("U1"), QColor(20, 100, 120)));
    default:
        break;
    }
    // '94 commands: their command code.
    static const struct
    {
        int nId;
        const char* pszCode;
    } s_codes94[] = {{32792, "83"}, {32793, "84"}, {32794, "8A"}, {32795, "8E"}, {32796, "87"}, {32797, "80"},
                     {32798, "86"}, {32799, "88"}, {32800, "81"}, {32801, "82"}, {32802, "85"}, {32803, "8C"},
                     {32804, "8F"}, {32805, "90"}, {32820, "9A"}, {32821, "98"}, {32822, "99"}};
    for (const auto& code : s_codes94)
    {
        if (code.nId == nId)
        {
            const bool bSetting = nId >= 32802 && nId <= 32805;
            return QIcon(Badge(QString::fromLatin1(code.pszCode), bSetting ? k94SettingColour : k94Colour));
        }
    }
    // 103 commands: link functions lettered, application functions by their ASDU.
    static const struct
    {
        int nId;
        const char* pszText;
        bool bApplication;
    } s_codes103[] = {{32841, "C1", false}, {32842, "C2", false}, {32843, "RC", false}, {32844, "RF", false},
                      {32845, "LS", false}, {32849, "6", true},   {32848, "7", true},   {32853, "20", true},
                      {32856, "10", true},  {32854, "21", true},  {32859, "24", true},  {32860, "25", true},
                      {32858, "...", true}};
    for (const auto& code : s_codes103)
    {
        if (code.nId == nId)
            return QIcon(
                Badge(QString::fromLatin1(code.pszText), code.bApplication ? k103AppColour : k103Colour));
    }
    return {};
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (const int nSize : {16, 32})
    {
        QPixmap pixmap(nSize, nSize);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 110, 90));
        painter.drawRoundedRect(QRectF(0, 0, nSize, nSize), nSize / 5.0, nSize / 5.0);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setBold(true);
        font.setPixelSize(nSize * 3 / 4);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, nSize, nSize), Qt::AlignCenter, QStringLiteral("R"));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace relvane
