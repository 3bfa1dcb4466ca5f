#pragma once

#include <QString>
#include <QWidget>
#include <memory>

class QLabel;
class QPushButton;
class QScrollArea;

namespace relvane
{

class CRecordPlot;
struct CComtradeRecord;

// "录波查看…": a window of its own (not modal, the log stays usable) that shows one COMTRADE
// record: what the configuration says of it, the drawn channels (CRecordPlot) and, under them,
// the cursor's time from the trigger and every channel's value there. Buttons open another
// record, zoom in, zoom out and show the whole record.
class CRecordViewer : public QWidget
{
    Q_OBJECT

public:
    explicit CRecordViewer(QWidget* pParent = nullptr);

    // Reads and shows the record; on failure the message is shown and returned, and the record
    // shown before stays.
    bool OpenRecord(const QString& strPath, QString* pError = nullptr);
    void ShowRecord(std::shared_ptr<const CComtradeRecord> pRecord, const QString& strTitle);
    // The open dialog, starting in the last folder.
    void ChooseRecord();

    CRecordPlot* Plot() const { return m_pPlot; }
    QString InfoText() const;
    QString CursorText() const;

private:
    void UpdateCursor();

    CRecordPlot* m_pPlot = nullptr;
    QScrollArea* m_pScroll = nullptr;
    QLabel* m_pInfo = nullptr;
    QLabel* m_pNote = nullptr;
    QLabel* m_pCursor = nullptr;
};

// Opens (or raises) the viewer of the window pParent with the record at strPath; an empty path
// asks for one.
CRecordViewer* OpenRecordViewer(QWidget* pParent, const QString& strPath);

} // namespace relvane
