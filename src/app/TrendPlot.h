#pragma once

#include <QColor>
#include <QWidget>
#include <set>
#include <string>
#include <vector>

namespace relvane
{

class CRecordTables;

// The measurand trends drawn on QPainter: one line per chosen value against time, a grid with the
// times and values at its lines, a legend, and the values under the mouse (a tooltip and a line
// of text under the plot). However many points a series holds, each pixel column gets one vertical
// stroke from the least to the greatest value that falls in it, so that drawing stays quick and
// the line keeps every peak.
class CTrendPlot : public QWidget
{
    Q_OBJECT

public:
    explicit CTrendPlot(const CRecordTables& tables, QWidget* pParent = nullptr);

    // Which series (by key) are drawn, and from which time on (everything for a time before the
    // first point).
    void SetShown(std::set<std::string> keys, double dFrom);
    // The colour series nIndex (in the tables' order) is drawn in.
    static QColor SeriesColour(std::size_t nIndex);
    // The time and every drawn value at the time under x (each series' last point at or before
    // it), one per line; empty outside the plot area or without data.
    QString ReadoutAt(int nX) const;
    // The plot area inside the widget.
    QRect PlotArea() const;

    QSize sizeHint() const override { return {640, 320}; }
    QSize minimumSizeHint() const override { return {240, 160}; }

signals:
    void Readout(const QString& strText);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;

private:
    // The time and value ranges of what is shown; false when nothing is.
    bool TimeRange(double& dT0, double& dT1) const;
    bool Ranges(double& dT0, double& dT1, double& dV0, double& dV1) const;
    double TimeAt(int nX, double dT0, double dT1) const;

    const CRecordTables& m_tables;
    std::set<std::string> m_keys;
    double m_dFrom = -1e300;
};

} // namespace relvane
