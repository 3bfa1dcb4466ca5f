#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QListWidget;
class QSpinBox;

namespace relvane
{

class CRecordTables;
class CTrendPlot;

// "测量值曲线": the values to show (every value received, each with a check box; new ones come
// checked), whether to hold the last N minutes or the whole session (kept in our own settings
// file), the plot, the values under the mouse, and export of the shown series to CSV.
class CTrendPanel : public QWidget
{
    Q_OBJECT

public:
    // Where "导出CSV…" asks for the file name; tests set a hook so that no dialog opens.
    using FileNameHook = std::function<QString(QWidget* pParent)>;
    static void SetFileNameHook(FileNameHook fnHook);
    static constexpr int kDefaultMinutes = 10;

    CTrendPanel(const CRecordTables& tables, QWidget* pParent = nullptr);

    void Refresh();
    // The keys of the values checked, in the tables' order.
    std::vector<std::string> ShownKeys() const;
    // The first time shown: the latest time less N minutes, or everything.
    double ShownFrom() const;
    // Writes the checked series, from the first time shown on, as CSV; false with the reason said.
    bool ExportCsv(const QString& strPath);

    QListWidget* SeriesList() const { return m_pList; }
    CTrendPlot* Plot() const { return m_pPlot; }
    QCheckBox* HoldAll() const { return m_pHoldAll; }
    QSpinBox* HoldMinutes() const { return m_pMinutes; }
    QLabel* ReadoutLabel() const { return m_pReadout; }

private:
    void OnExport();
    void UpdatePlot();
    void StoreHold();

    const CRecordTables& m_tables;
    QListWidget* m_pList = nullptr;
    CTrendPlot* m_pPlot = nullptr;
    QCheckBox* m_pHoldAll = nullptr;
    QSpinBox* m_pMinutes = nullptr;
    QLabel* m_pReadout = nullptr;
    QLabel* m_pCount = nullptr;
};

} // namespace relvane
