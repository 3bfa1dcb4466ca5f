#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <cstdint>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace relvane
{

class CRecordTables;
struct CEventRow;

// The event rows of the tables for a view: one line per event, its fields in columns. Numbers
// sort as numbers and times by their value (Qt::UserRole).
class CEventTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit CEventTableModel(const CRecordTables& tables, QObject* pParent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation, int nRole = Qt::DisplayRole) const override;

    // Takes in what the tables hold now: rows that came are inserted (a selection stays), anything
    // else resets the model.
    void Refresh();
    // The row's event, or null for a row that is no longer there.
    const CEventRow* Event(int nRow) const;

private:
    const CRecordTables& m_tables;
    int m_nRows = 0;
    int m_nFirstNumber = 0; // the number of the first row shown, to see the tables were replaced
};

// "事件列表": the events of the session (or of the log opened) in a table, with a filter over
// every column, sorting by any column, export of what is shown to CSV, and a double-click that
// selects the event's frame in the log.
class CEventListPanel : public QWidget
{
    Q_OBJECT

public:
    // Where "导出CSV…" asks for the file name; tests set a hook so that no dialog opens. An empty
    // name cancels.
    using FileNameHook = std::function<QString(QWidget* pParent)>;
    static void SetFileNameHook(FileNameHook fnHook);

    CEventListPanel(const CRecordTables& tables, QWidget* pParent = nullptr);

    void Refresh();
    // Writes the rows as shown (filtered, in their order) as CSV; false with the reason said.
    bool ExportCsv(const QString& strPath);

    QTableView* Table() const { return m_pTable; }
    QLineEdit* Filter() const { return m_pFilter; }
    QSortFilterProxyModel* Shown() const { return m_pProxy; }
    CEventTableModel* Model() const { return m_pModel; }

signals:
    // The user asked to see an event's frame in the log.
    void ShowFrame(const CEventRow& row);

private:
    void OnExport();
    void UpdateCount();

    const CRecordTables& m_tables;
    CEventTableModel* m_pModel = nullptr;
    QSortFilterProxyModel* m_pProxy = nullptr;
    QTableView* m_pTable = nullptr;
    QLineEdit* m_pFilter = nullptr;
    QLabel* m_pCount = nullptr;
};

} // namespace relvane
