#include "app/TrendPlot.h"

#include "events/RecordTables.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <limits>

namespace relvane
{
namespace
{

constexpr int kLeftMargin = 64;
constexpr int kRightMargin = 12;
constexpr int kTopMargin = 8;
constexpr int kBottomMargin = 24;
constexpr int kGridLines = 5;

// The points of a series from a time on.
auto FirstFrom(const std::deque<CTrendPoint>& points, double dFrom)
{
    return std::lower_bound(points.begin(), points.end(), dFrom,
                            [](const CTrendPoint& point, double dTime) { return point.dTime < dTime; });
}

// A time label short enough for the axis: the time of day without the date.
QString AxisTime(int nTimeBase, double dTime)
{
    const std::string strText = FormatRecordTime(nTimeBase, dTime);
    const std::size_t nSpace = nTimeBase == TIME_WALL ? strText.find(' ') : std::string::npos;
    return QString::fromStdString(nSpace == std::string::npos ? strText : strText.substr(nSpace + 1));
}

} // namespace

CTrendPlot::CTrendPlot(const CRecordTables& tables, QWidget* pParent) : QWidget(pParent), m_tables(tables)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setObjectName(QStringLiteral("trendPlot"));
}

void CTrendPlot::SetShown(std::set<std::string> keys, double dFrom)
{
    m_keys = std::move(keys);
    m_dFrom = dFrom;
    update();
}

QColor CTrendPlot::SeriesColour(std::size_t nIndex)
{
    static const QColor kColours[] = {QColor(31, 119, 180), QColor(214, 39, 40),  QColor(44, 160, 44),
                                      QColor(255, 127, 14), QColor(148, 103, 189), QColor(140, 86, 75),
                                      QColor(227, 119, 194), QColor(127, 127, 127), QColor(188, 189, 34),
                                      QColor(23, 190, 207)};
    return kColours[nIndex % std::size(kColours)];
}

QRect CTrendPlot::PlotArea() const
{
    return QRect(kLeftMargin, kTopMargin, std::max(1, width() - kLeftMargin - kRightMargin),
                 std::max(1, height() - kTopMargin - kBottomMargin));
}

bool CTrendPlot::TimeRange(double& dT0, double& dT1) const
{
    // Points come in time order: each series' first shown and last point bound it.
    dT0 = std::numeric_limits<double>::infinity();
    dT1 = -std::numeric_limits<double>::infinity();
    for (const CMeasurandSeries& series : m_tables.Series())
    {
        if (m_keys.count(series.strKey) == 0)
            continue;
        const auto it = FirstFrom(series.points, m_dFrom);
        if (it == series.points.end())
            continue;
        dT0 = std::min(dT0, it->dTime);
        dT1 = std::max(dT1, series.points.back().dTime);
    }
    if (!(dT0 <= dT1))
        return false;
    if (dT1 - dT0 < 1e-9)
    {
        dT0 -= 0.5;
        dT1 += 0.5;
    }
    return true;
}

bool CTrendPlot::Ranges(double& dT0, double& dT1, double& dV0, double& dV1) const
{
    if (!TimeRange(dT0, dT1))
        return false;
    dV0 = std::numeric_limits<double>::infinity();
    dV1 = -std::numeric_limits<double>::infinity();
    for (const CMeasurandSeries& series : m_tables.Series())
    {
        if (m_keys.count(series.strKey) == 0)
            continue;
        for (auto it = FirstFrom(series.points, m_dFrom); it != series.points.end(); ++it)
        {
            dV0 = std::min(dV0, it->dValue);
            dV1 = std::max(dV1, it->dValue);
        }
    }
    const double dPad = std::max((dV1 - dV0) * 0.05, std::max(std::fabs(dV1), 1e-3) * 0.05);
    dV0 -= dPad;
    dV1 += dPad;
    return true;
}

double CTrendPlot::TimeAt(int nX, double dT0, double dT1) const
{
    const QRect area = PlotArea();
    return dT0 + (dT1 - dT0) * (nX - area.left()) / std::max(1, area.width() - 1);
}

void CTrendPlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRect area = PlotArea();
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    double dT0 = 0;
    double dT1 = 0;
    double dV0 = 0;
    double dV1 = 0;
    if (!Ranges(dT0, dT1, dV0, dV1))
    {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(area, Qt::AlignCenter,
                         m_tables.Series().empty() ? QStringLiteral("尚未收到测量值") : QStringLiteral("未选择测量值"));
        return;
    }
    const auto X = [&](double dTime) { return area.left() + (dTime - dT0) / (dT1 - dT0) * (area.width() - 1); };
    const auto Y = [&](double dValue) { return area.bottom() - (dValue - dV0) / (dV1 - dV0) * (area.height() - 1); };

    // Grid with its labels.
    const QFontMetrics metrics(font());
    for (int i = 0; i <= kGridLines; ++i)
    {
        const double dValue = dV0 + (dV1 - dV0) * i / kGridLines;
        const int nY = static_cast<int>(std::lround(Y(dValue)));
        painter.setPen(QPen(palette().color(QPalette::Midlight), 0, Qt::DotLine));
        painter.drawLine(area.left(), nY, area.right(), nY);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(0, nY - metrics.height() / 2, kLeftMargin - 4, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(dValue, 'g', 4));
        const double dTime = dT0 + (dT1 - dT0) * i / kGridLines;
        const int nX = static_cast<int>(std::lround(X(dTime)));
        painter.setPen(QPen(palette().color(QPalette::Midlight), 0, Qt::DotLine));
        painter.drawLine(nX, area.top(), nX, area.bottom());
        painter.setPen(palette().color(QPalette::Text));
        const QString strTime = AxisTime(m_tables.TimeBase(), dTime);
        const int nWidth = metrics.horizontalAdvance(strTime);
        const int nLeft = std::clamp(nX - nWidth / 2, 0, std::max(0, width() - nWidth));
        painter.drawText(nLeft, area.bottom() + metrics.ascent() + 4, strTime);
    }

    // Lines, decimated to the pixel columns: per column the first and last value (to join the
    // neighbours) and the least and greatest in between.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipRect(area);
    for (std::size_t s = 0; s < m_tables.Series().size(); ++s)
    {
        const CMeasurandSeries& series = m_tables.Series()[s];
        if (m_keys.count(series.strKey) == 0)
            continue;
        const QColor colour = SeriesColour(s);
        painter.setPen(QPen(colour, 1)); // the raster engine draws one-pixel lines on its fast path
        QPolygonF line;
        int nColumn = std::numeric_limits<int>::min();
        double dMin = 0;
        double dMax = 0;
        double dLast = 0;
        auto flush = [&]()
        {
            if (nColumn == std::numeric_limits<int>::min())
                return;
            if (dMin != dMax)
                painter.drawLine(QPointF(nColumn, Y(dMin)), QPointF(nColumn, Y(dMax)));
            line << QPointF(nColumn, Y(dLast));
        };
        for (auto it = FirstFrom(series.points, m_dFrom); it != series.points.end(); ++it)
        {
            const int nX = static_cast<int>(std::lround(X(it->dTime)));
            if (nX != nColumn)
            {
                flush();
                line << QPointF(nX, Y(it->dValue));
                nColumn = nX;
                dMin = dMax = it->dValue;
            }
            dMin = std::min(dMin, it->dValue);
            dMax = std::max(dMax, it->dValue);
            dLast = it->dValue;
        }
        flush();
        painter.drawPolyline(line);
        if (line.size() == 1)
            painter.drawEllipse(line.front(), 2, 2);
    }
    // The legend in the top left corner, on a ground of its own so that the lines do not cross it.
    std::vector<std::size_t> shown;
    int nLegendWidth = 0;
    for (std::size_t s = 0; s < m_tables.Series().size(); ++s)
    {
        if (m_keys.count(m_tables.Series()[s].strKey) == 0)
            continue;
        shown.push_back(s);
        nLegendWidth = std::max(nLegendWidth,
                                metrics.horizontalAdvance(QString::fromStdString(m_tables.Series()[s].strName)));
    }
    const int nRows = std::min(static_cast<int>(shown.size()), std::max(0, (area.height() - 8) / metrics.height()));
    if (nRows > 0)
    {
        QColor ground = palette().color(QPalette::Base);
        ground.setAlpha(220);
        painter.fillRect(area.left() + 2, area.top() + 2, nLegendWidth + 30, nRows * metrics.height() + 4, ground);
    }
    for (int i = 0; i < nRows; ++i)
    {
        const std::size_t s = shown[static_cast<std::size_t>(i)];
        const int nY = area.top() + 4 + i * metrics.height();
        painter.fillRect(area.left() + 6, nY + metrics.height() / 2 - 1, 14, 3, SeriesColour(s));
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(area.left() + 24, nY + metrics.ascent(), QString::fromStdString(m_tables.Series()[s].strName));
    }
}

QString CTrendPlot::ReadoutAt(int nX) const
{
    const QRect area = PlotArea();
    double dT0 = 0;
    double dT1 = 0;
    if (nX < area.left() || nX > area.right() || !TimeRange(dT0, dT1))
        return {};
    const double dTime = TimeAt(nX, dT0, dT1);
    QStringList lines{QString::fromStdString(FormatRecordTime(m_tables.TimeBase(), dTime))};
    for (const CMeasurandSeries& series : m_tables.Series())
    {
        if (m_keys.count(series.strKey) == 0)
            continue;
        // The value that held at that time: the last point at or before it.
        const auto it = std::upper_bound(series.points.begin(), series.points.end(), dTime,
                                         [](double dAt, const CTrendPoint& point) { return dAt < point.dTime; });
        if (it == series.points.begin() || std::prev(it)->dTime < m_dFrom)
            continue;
        const CTrendPoint& point = *std::prev(it);
        QString strLine = QString::fromStdString(series.strName) + QStringLiteral(": ") +
                          QString::number(point.dValue, 'g', 6);
        if (point.bOverflow)
            strLine += QStringLiteral(" 溢出");
        if (point.bError)
            strLine += QStringLiteral(" 差错");
        lines << strLine;
    }
    return lines.join(u'\n');
}

void CTrendPlot::mouseMoveEvent(QMouseEvent* pEvent)
{
    const QString strText = ReadoutAt(static_cast<int>(pEvent->position().x()));
    emit Readout(strText);
    if (strText.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(pEvent->globalPosition().toPoint(), strText, this);
}

void CTrendPlot::leaveEvent(QEvent*)
{
    emit Readout(QString());
}

} // namespace relvane
