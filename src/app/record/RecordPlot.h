#pragma once

#include "disturbance/ComtradeReader.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <vector>

namespace relvane
{

// The record drawn: one lane per analogue channel (its trace scaled to the channel's own range,
// name and unit at the left), one bar lane per digital channel (filled while the signal is 1),
// the time axis in ms from the trigger, the trigger as a red line and a cursor that reads every
// channel. The wheel zooms in time around the mouse, dragging pans, a click places the cursor;
// the keys +, -, arrows and Home do the same. Traces are reduced to the pixel columns they cover
// (RecordDecimation.h), so a long record zooms without delay.
class CRecordPlot : public QWidget
{
    Q_OBJECT

public:
    explicit CRecordPlot(QWidget* pParent = nullptr);

    void SetRecord(std::shared_ptr<const CComtradeRecord> pRecord);
    const CComtradeRecord* Record() const { return m_pRecord.get(); }

    // The time shown, in seconds from the first sample.
    double ViewFrom() const { return m_dFrom; }
    double ViewTo() const { return m_dTo; }
    void SetView(double dFrom, double dTo);
    // dFactor < 1 zooms in; dAnchor stays where it is on the screen.
    void ZoomBy(double dFactor, double dAnchor);
    void PanBy(double dFraction);
    void ShowAll();

    // The cursor in seconds from the first sample; it snaps to the nearest sample.
    void SetCursorTime(double dTime);
    bool HasCursor() const { return m_bCursor; }
    std::size_t CursorSample() const { return m_nCursor; }
    // The cursor's time from the trigger, "+12.345 ms", and every channel's value there.
    QString CursorTimeText() const;
    QStringList CursorReadout() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void ViewChanged();
    void CursorMoved();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    struct CLane
    {
        int nTop = 0;
        int nHeight = 0;
    };

    QRect PlotArea() const;
    CLane AnalogLane(std::size_t i) const;
    CLane DigitalLane(std::size_t i) const;
    double TimeAt(double dX) const;
    double XOf(double dTime) const;
    double MinimumSpan() const;
    QString ValueText(std::size_t nChannel) const;
    void DrawAnalog(QPainter& painter, std::size_t i, const QRect& area);
    void DrawDigital(QPainter& painter, std::size_t i, const QRect& area);
    void DrawAxis(QPainter& painter, const QRect& area);

    std::shared_ptr<const CComtradeRecord> m_pRecord;
    std::vector<std::pair<float, float>> m_ranges; // each analogue channel's lowest and highest value
    double m_dFrom = 0.0;
    double m_dTo = 1.0;
    bool m_bCursor = false;
    std::size_t m_nCursor = 0;
    bool m_bDragging = false;
    double m_dDragX = 0.0;
    double m_dDragFrom = 0.0;
    bool m_bDragged = false;
    int m_nLabelWidth = 150; // the names' column at the left
    QStringList m_analogNames;
    QStringList m_units;
    QStringList m_digitalNames;
};

} // namespace relvane
