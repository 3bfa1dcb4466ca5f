#include "app/record/RecordPlot.h"

#include "app/record/RecordDecimation.h"
#include "app/record/RecordFiles.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace relvane
{
namespace
{

constexpr int kMinLabelWidth = 150;
constexpr int kMaxLabelWidth = 320;
constexpr int kRightMargin = 24; // room for the last tick's label
constexpr int kAxisHeight = 26;
constexpr int kMinAnalogLane = 56;
constexpr int kDigitalLane = 18;
constexpr double kWheelFactor = 0.8; // one notch of the wheel shows 80 % of the time

// Phase colours as Chinese switchgear marks them (A yellow, B green, C red), neutral blue;
// channels without a phase take the next of the others.
QColor TraceColor(const CComtradeAnalog& analog, std::size_t nIndex)
{
    const QString strPhase = QString::fromStdString(analog.strPhase).trimmed().toUpper();
    if (strPhase == QStringLiteral("A") || strPhase == QStringLiteral("L1") ||
        strPhase == QStringLiteral("R"))
        return QColor(0xC0, 0x90, 0x00);
    if (strPhase == QStringLiteral("B") || strPhase == QStringLiteral("L2") ||
        strPhase == QStringLiteral("S"))
        return QColor(0x00, 0x80, 0x00);
    if (strPhase == QStringLiteral("C") || strPhase == QStringLiteral("L3") ||
        strPhase == QStringLiteral("T"))
        return QColor(0xC0, 0x00, 0x00);
    if (strPhase == QStringLiteral("N") || strPhase == QStringLiteral("E"))
        return QColor(0x00, 0x40, 0xC0);
    static const QColor kOthers[] = {QColor(0x60, 0x20, 0xA0), QColor(0x00, 0x70, 0x70),
                                     QColor(0x80, 0x40, 0x00), QColor(0x40, 0x40, 0x40)};
    return kOthers[nIndex % 4];
}

// The lanes' scale: the value at the top and at the bottom of a lane.
QString ScaleText(float fValue)
{
    return QString::number(static_cast<double>(fValue), 'g', 3);
}

} // namespace

CRecordPlot::CRecordPlot(QWidget* pParent) : QWidget(pParent)
{
    setObjectName(QStringLiteral("recordPlot"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CRecordPlot::SetRecord(std::shared_ptr<const CComtradeRecord> pRecord)
{
    m_pRecord = std::move(pRecord);
    m_ranges.clear();
    m_bCursor = false;
    if (m_pRecord != nullptr)
    {
        for (const CComtradeAnalog& analog : m_pRecord->analogs)
        {
            float fMin = 0.0f;
            float fMax = 0.0f;
            bool bAny = false;
            for (const float f : analog.values)
            {
                if (std::isnan(f))
                    continue;
                fMin = bAny ? std::min(fMin, f) : f;
                fMax = bAny ? std::max(fMax, f) : f;
                bAny = true;
            }
            if (fMax - fMin < 1e-12f * std::max(1.0f, std::abs(fMax)))
            {
                // A flat trace sits in the middle of its lane.
                fMin -= 1.0f;
                fMax += 1.0f;
            }
            const float fPad = (fMax - fMin) * 0.05f;
            m_ranges.emplace_back(fMin - fPad, fMax + fPad);
        }
    }
    // The names decoded once, and the label column as wide as the longest one needs, within bounds.
    m_analogNames.clear();
    m_units.clear();
    m_digitalNames.clear();
    m_nLabelWidth = kMinLabelWidth;
    if (m_pRecord != nullptr)
    {
        const QFontMetrics metrics(font());
        for (const CComtradeAnalog& analog : m_pRecord->analogs)
        {
            m_analogNames << RecordText(analog.strId);
            m_units << RecordText(analog.strUnit);
            m_nLabelWidth = std::max(m_nLabelWidth,
                                     metrics.horizontalAdvance(m_analogNames.back() + QStringLiteral(" (") +
                                                               m_units.back() + QStringLiteral(")")) +
                                         56);
        }
        for (const CComtradeDigital& digital : m_pRecord->digitals)
        {
            m_digitalNames << RecordText(digital.strId);
            m_nLabelWidth =
                std::max(m_nLabelWidth,
                         metrics.horizontalAdvance(m_digitalNames.back() + QStringLiteral(" = 0")) + 16);
        }
        m_nLabelWidth = std::min(m_nLabelWidth, kMaxLabelWidth);
    }
    updateGeometry();
    ShowAll();
}

QSize CRecordPlot::minimumSizeHint() const
{
    const std::size_t nAnalogs = m_pRecord != nullptr ? m_pRecord->analogs.size() : 0;
    const std::size_t nDigitals = m_pRecord != nullptr ? m_pRecord->digitals.size() : 0;
    return {m_nLabelWidth + 200, kAxisHeight + static_cast<int>(nAnalogs) * kMinAnalogLane +
                                     static_cast<int>(nDigitals) * kDigitalLane + 4};
}

QSize CRecordPlot::sizeHint() const
{
    return minimumSizeHint().expandedTo(QSize(900, 500));
}

QRect CRecordPlot::PlotArea() const
{
    return {m_nLabelWidth, 0, std::max(1, width() - m_nLabelWidth - kRightMargin),
            std::max(1, height() - kAxisHeight)};
}

CRecordPlot::CLane CRecordPlot::AnalogLane(std::size_t i) const
{
    const QRect area = PlotArea();
    const auto nAnalogs = static_cast<int>(m_pRecord->analogs.size());
    const int nDigitalHeight = static_cast<int>(m_pRecord->digitals.size()) * kDigitalLane;
    const int nEach = std::max(kMinAnalogLane, (area.height() - nDigitalHeight) / std::max(1, nAnalogs));
    return {area.top() + static_cast<int>(i) * nEach, nEach};
}

CRecordPlot::CLane CRecordPlot::DigitalLane(std::size_t i) const
{
    const CLane last = m_pRecord->analogs.empty() ? CLane{0, 0} : AnalogLane(m_pRecord->analogs.size() - 1);
    return {last.nTop + last.nHeight + static_cast<int>(i) * kDigitalLane, kDigitalLane};
}

double CRecordPlot::TimeAt(double dX) const
{
    const QRect area = PlotArea();
    return m_dFrom + (dX - area.left()) * (m_dTo - m_dFrom) / area.width();
}

double CRecordPlot::XOf(double dTime) const
{
    const QRect area = PlotArea();
    return area.left() + (dTime - m_dFrom) * area.width() / (m_dTo - m_dFrom);
}

double CRecordPlot::MinimumSpan() const
{
    // No closer than ten samples across the plot (and never zero).
    if (m_pRecord == nullptr || m_pRecord->times.size() < 2)
        return 1e-6;
    const double dTotal = m_pRecord->times.back() - m_pRecord->times.front();
    return std::max(1e-6, 10.0 * dTotal / static_cast<double>(m_pRecord->times.size() - 1));
}

void CRecordPlot::SetView(double dFrom, double dTo)
{
    double dFirst = 0.0;
    double dLast = 1.0;
    if (m_pRecord != nullptr && !m_pRecord->times.empty())
    {
        dFirst = m_pRecord->times.front();
        dLast = std::max(m_pRecord->times.back(), dFirst + MinimumSpan());
    }
    double dSpan = std::clamp(dTo - dFrom, std::min(MinimumSpan(), dLast - dFirst), dLast - dFirst);
    if (!std::isfinite(dSpan))
        dSpan = dLast - dFirst;
    dFrom = std::clamp(std::isfinite(dFrom) ? dFrom : dFirst, dFirst, dLast - dSpan);
    m_dFrom = dFrom;
    m_dTo = dFrom + dSpan;
    update();
    emit ViewChanged();
}

void CRecordPlot::ZoomBy(double dFactor, double dAnchor)
{
    // The span as it will be shown, so that the anchor keeps its place also at the limits.
    const double dSpan = m_dTo - m_dFrom;
    double dLimit = 1.0;
    if (m_pRecord != nullptr && m_pRecord->times.size() > 1)
        dLimit = m_pRecord->times.back() - m_pRecord->times.front();
    const double dNewSpan =
        std::clamp(dSpan * dFactor, std::min(MinimumSpan(), dLimit), std::max(dLimit, 1e-9));
    const double dFrom = dAnchor - (dAnchor - m_dFrom) * dNewSpan / dSpan;
    SetView(dFrom, dFrom + dNewSpan);
}

void CRecordPlot::PanBy(double dFraction)
{
    const double dShift = (m_dTo - m_dFrom) * dFraction;
    SetView(m_dFrom + dShift, m_dTo + dShift);
}

void CRecordPlot::ShowAll()
{
    if (m_pRecord == nullptr || m_pRecord->times.empty())
        SetView(0.0, 1.0);
    else
        SetView(m_pRecord->times.front(), m_pRecord->times.back());
}

void CRecordPlot::SetCursorTime(double dTime)
{
    if (m_pRecord == nullptr || m_pRecord->times.empty() || !std::isfinite(dTime))
        return;
    m_nCursor = NearestSample(m_pRecord->times, dTime);
    m_bCursor = true;
    update();
    emit CursorMoved();
}

QString CRecordPlot::CursorTimeText() const
{
    if (!m_bCursor || m_pRecord == nullptr)
        return {};
    const double dMs = (m_pRecord->times[m_nCursor] - m_pRecord->dTriggerSeconds) * 1000.0;
    return (dMs >= 0 ? QStringLiteral("+") : QString()) + QString::number(dMs, 'f', 3) +
           QStringLiteral(" ms");
}

QString CRecordPlot::ValueText(std::size_t nChannel) const
{
    const CComtradeAnalog& analog = m_pRecord->analogs[nChannel];
    const float fValue = analog.values[m_nCursor];
    if (std::isnan(fValue))
        return QStringLiteral("缺失");
    return QString::number(static_cast<double>(fValue), 'g', 5) + QStringLiteral(" ") +
           m_units[static_cast<qsizetype>(nChannel)];
}

QStringList CRecordPlot::CursorReadout() const
{
    QStringList lines;
    if (!m_bCursor || m_pRecord == nullptr)
        return lines;
    for (std::size_t i = 0; i < m_pRecord->analogs.size(); ++i)
        lines << m_analogNames[static_cast<qsizetype>(i)] + QStringLiteral(" = ") + ValueText(i);
    for (std::size_t i = 0; i < m_pRecord->digitals.size(); ++i)
        lines << m_digitalNames[static_cast<qsizetype>(i)] + QStringLiteral(" = ") +
                     QString::number(m_pRecord->digitals[i].states[m_nCursor]);
    return lines;
}

void CRecordPlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    if (m_pRecord == nullptr || m_pRecord->times.empty())
        return;
    const QRect area = PlotArea();
    painter.setPen(palette().text().color());
    DrawAxis(painter, area);
    for (std::size_t i = 0; i < m_pRecord->analogs.size(); ++i)
        DrawAnalog(painter, i, area);
    for (std::size_t i = 0; i < m_pRecord->digitals.size(); ++i)
        DrawDigital(painter, i, area);

    painter.setClipRect(area);
    const double dTriggerX = XOf(m_pRecord->dTriggerSeconds);
    painter.setPen(QPen(QColor(0xD0, 0x00, 0x00), 1, Qt::DashLine));
    painter.drawLine(QPointF(dTriggerX, area.top()), QPointF(dTriggerX, area.bottom()));
    if (m_bCursor)
    {
        const double dX = XOf(m_pRecord->times[m_nCursor]);
        painter.setPen(QPen(QColor(0x00, 0x00, 0xFF), 1));
        painter.drawLine(QPointF(dX, area.top()), QPointF(dX, area.bottom()));
    }
}

void CRecordPlot::DrawAxis(QPainter& painter, const QRect& area)
{
    const double dTrigger = m_pRecord->dTriggerSeconds;
    const int nMost = std::max(2, area.width() / 90);
    const double dStep = TickStep((m_dFrom - dTrigger) * 1000.0, (m_dTo - dTrigger) * 1000.0, nMost);
    const int nDecimals = dStep >= 1.0 || !(dStep > 0.0)
                              ? 0
                              : std::min(9, static_cast<int>(std::ceil(-std::log10(dStep) - 1e-9)));
    const QColor grid(0xE4, 0xE4, 0xE4);
    for (const double dMs : Ticks((m_dFrom - dTrigger) * 1000.0, (m_dTo - dTrigger) * 1000.0, nMost))
    {
        const double dX = XOf(dTrigger + dMs / 1000.0);
        painter.setPen(grid);
        painter.drawLine(QPointF(dX, area.top()), QPointF(dX, area.bottom()));
        painter.setPen(palette().text().color());
        painter.drawLine(QPointF(dX, area.bottom()), QPointF(dX, area.bottom() + 4));
        const QString strLabel = QString::number(dMs, 'f', nDecimals);
        painter.drawText(QRectF(dX - 45, area.bottom() + 5, 90, kAxisHeight - 6),
                         Qt::AlignHCenter | Qt::AlignTop, strLabel);
    }
    painter.drawText(QRect(4, area.bottom() + 5, m_nLabelWidth - 8, kAxisHeight - 6),
                     Qt::AlignLeft | Qt::AlignTop, QStringLiteral("ms (距触发)"));
}

void CRecordPlot::DrawAnalog(QPainter& painter, std::size_t i, const QRect& area)
{
    const CComtradeAnalog& analog = m_pRecord->analogs[i];
    const CLane lane = AnalogLane(i);
    const QColor color = TraceColor(analog, i);
    painter.setClipping(false);
    painter.setPen(QColor(0xC8, 0xC8, 0xC8));
    painter.drawLine(0, lane.nTop + lane.nHeight - 1, area.right(), lane.nTop + lane.nHeight - 1);
    painter.setPen(color);
    const QRect label(6, lane.nTop + 2, m_nLabelWidth - 12, lane.nHeight - 4);
    QString strLabel = m_analogNames[static_cast<qsizetype>(i)];
    if (!analog.strUnit.empty())
        strLabel += QStringLiteral(" (") + m_units[static_cast<qsizetype>(i)] + QStringLiteral(")");
    if (m_bCursor)
        strLabel += QStringLiteral("\n") + ValueText(i);
    painter.drawText(label, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, strLabel);
    const auto [fLow, fHigh] = m_ranges[i];
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawText(QRect(6, lane.nTop + 1, m_nLabelWidth - 10, lane.nHeight - 2),
                     Qt::AlignRight | Qt::AlignTop, ScaleText(fHigh));
    painter.drawText(QRect(6, lane.nTop + 1, m_nLabelWidth - 10, lane.nHeight - 3),
                     Qt::AlignRight | Qt::AlignBottom, ScaleText(fLow));

    const double dTop = lane.nTop + 3.0;
    const double dHeight = lane.nHeight - 6.0;
    auto yOf = [&](double dValue) { return dTop + (fHigh - dValue) * dHeight / (fHigh - fLow); };
    painter.setClipRect(QRect(area.left(), lane.nTop, area.width(), lane.nHeight));
    if (fLow < 0.0f && fHigh > 0.0f)
    {
        painter.setPen(QColor(0xD8, 0xD8, 0xD8));
        painter.drawLine(QPointF(area.left(), yOf(0.0)), QPointF(area.right(), yOf(0.0)));
    }
    painter.setPen(QPen(color, 1));
    const std::vector<double>& times = m_pRecord->times;
    const auto [nFirst, nEnd] = SamplesInView(times, m_dFrom, m_dTo);
    QVector<QLineF> lines;
    if (nEnd - nFirst > static_cast<std::size_t>(area.width()))
    {
        // More samples than pixels: each column from its lowest to its highest value, joined to
        // the column before so that a steep edge stays one line.
        const std::vector<CColumnSpan> columns =
            MinMaxColumns(times, analog.values, m_dFrom, m_dTo, area.width());
        lines.reserve(static_cast<qsizetype>(columns.size()));
        const CColumnSpan* pPrevious = nullptr;
        for (std::size_t c = 0; c < columns.size(); ++c)
        {
            const CColumnSpan& column = columns[c];
            if (column.bEmpty)
            {
                pPrevious = nullptr;
                continue;
            }
            float fLo = column.fMin;
            float fHi = column.fMax;
            if (pPrevious != nullptr)
            {
                fLo = std::min(fLo, pPrevious->fMax);
                fHi = std::max(fHi, pPrevious->fMin);
            }
            const double dX = area.left() + static_cast<double>(c) + 0.5;
            lines.append(QLineF(dX, yOf(fHi), dX, yOf(fLo) + 0.01));
            pPrevious = &column;
        }
    }
    else
    {
        // Fewer samples than pixels: sample to sample, one beyond each edge, a gap where a value
        // is missing.
        const std::size_t nFrom = nFirst > 0 ? nFirst - 1 : 0;
        const std::size_t nTo = std::min(nEnd + 1, times.size());
        for (std::size_t n = nFrom; n + 1 < nTo; ++n)
        {
            const float f0 = analog.values[n];
            const float f1 = analog.values[n + 1];
            if (std::isnan(f0) || std::isnan(f1))
                continue;
            lines.append(QLineF(XOf(times[n]), yOf(f0), XOf(times[n + 1]), yOf(f1)));
        }
        if (nTo - nFrom < static_cast<std::size_t>(area.width()) / 6)
        {
            painter.setRenderHint(QPainter::Antialiasing, true);
            for (std::size_t n = nFrom; n < nTo; ++n)
            {
                if (!std::isnan(analog.values[n]))
                    painter.drawEllipse(QPointF(XOf(times[n]), yOf(analog.values[n])), 1.5, 1.5);
            }
        }
    }
    painter.drawLines(lines);
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void CRecordPlot::DrawDigital(QPainter& painter, std::size_t i, const QRect& area)
{
    const CComtradeDigital& digital = m_pRecord->digitals[i];
    const CLane lane = DigitalLane(i);
    painter.setClipping(false);
    painter.setPen(palette().text().color());
    QString strLabel = m_digitalNames[static_cast<qsizetype>(i)];
    if (m_bCursor)
        strLabel += QStringLiteral(" = ") + QString::number(digital.states[m_nCursor]);
    painter.drawText(QRect(6, lane.nTop, m_nLabelWidth - 12, lane.nHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(strLabel, Qt::ElideMiddle, m_nLabelWidth - 12));
    painter.setClipRect(QRect(area.left(), lane.nTop, area.width(), lane.nHeight));
    painter.setPen(QColor(0xB0, 0xB0, 0xB0));
    const int nBase = lane.nTop + lane.nHeight - 4;
    painter.drawLine(area.left(), nBase, area.right(), nBase);
    const QColor bar(0x30, 0x60, 0xC0);
    const std::vector<double>& times = m_pRecord->times;
    const auto [nFirst, nEnd] = SamplesInView(times, m_dFrom, m_dTo);
    if (nEnd - nFirst > static_cast<std::size_t>(area.width()))
    {
        const std::vector<CColumnSpan> columns =
            MinMaxColumns(times, digital.states, m_dFrom, m_dTo, area.width());
        // Runs of columns where the signal is 1 somewhere, as one bar each.
        for (std::size_t c = 0; c < columns.size();)
        {
            if (columns[c].bEmpty || columns[c].fMax < 0.5f)
            {
                ++c;
                continue;
            }
            const std::size_t nStart = c;
            while (c < columns.size() && !columns[c].bEmpty && columns[c].fMax >= 0.5f)
                ++c;
            painter.fillRect(QRect(area.left() + static_cast<int>(nStart), lane.nTop + 3,
                                   static_cast<int>(c - nStart), lane.nHeight - 7),
                             bar);
        }
        return;
    }
    // Each sample's state holds until the next sample.
    const std::size_t nFrom = nFirst > 0 ? nFirst - 1 : 0;
    const std::size_t nTo = std::min(nEnd + 1, times.size());
    for (std::size_t n = nFrom; n < nTo; ++n)
    {
        if (digital.states[n] == 0)
            continue;
        const double dX0 = XOf(times[n]);
        const double dX1 = n + 1 < times.size() ? XOf(times[n + 1]) : dX0 + 1.0;
        painter.fillRect(QRectF(dX0, lane.nTop + 3, std::max(1.0, dX1 - dX0), lane.nHeight - 7), bar);
    }
}

void CRecordPlot::wheelEvent(QWheelEvent* pEvent)
{
    if (m_pRecord == nullptr)
        return;
    const double dNotches = pEvent->angleDelta().y() / 120.0;
    if (dNotches != 0.0)
        ZoomBy(std::pow(kWheelFactor, dNotches), TimeAt(pEvent->position().x()));
    pEvent->accept();
}

void CRecordPlot::mousePressEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton || m_pRecord == nullptr)
        return;
    m_bDragging = true;
    m_bDragged = false;
    m_dDragX = pEvent->position().x();
    m_dDragFrom = m_dFrom;
}

void CRecordPlot::mouseMoveEvent(QMouseEvent* pEvent)
{
    if (!m_bDragging)
        return;
    const double dDx = pEvent->position().x() - m_dDragX;
    if (std::abs(dDx) >= 3.0)
        m_bDragged = true;
    if (m_bDragged)
    {
        const double dShift = -dDx * (m_dTo - m_dFrom) / PlotArea().width();
        SetView(m_dDragFrom + dShift, m_dDragFrom + dShift + (m_dTo - m_dFrom));
    }
}

void CRecordPlot::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton || !m_bDragging)
        return;
    m_bDragging = false;
    // A click without a drag places the cursor.
    if (!m_bDragged && pEvent->position().x() >= PlotArea().left())
        SetCursorTime(TimeAt(pEvent->position().x()));
}

void CRecordPlot::keyPressEvent(QKeyEvent* pEvent)
{
    const double dCenter =
        m_bCursor && m_pRecord != nullptr ? m_pRecord->times[m_nCursor] : (m_dFrom + m_dTo) / 2;
    switch (pEvent->key())
    {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomBy(0.5, dCenter);
        break;
    case Qt::Key_Minus:
        ZoomBy(2.0, dCenter);
        break;
    case Qt::Key_Left:
        PanBy(-0.1);
        break;
    case Qt::Key_Right:
        PanBy(0.1);
        break;
    case Qt::Key_Home:
        ShowAll();
        break;
    default:
        QWidget::keyPressEvent(pEvent);
    }
}

} // namespace relvane
