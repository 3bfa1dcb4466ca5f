#pragma once

#include "session/RecordFeed.h"

#include <QObject>

class QDockWidget;
class QMainWindow;
class QPlainTextEdit;
class QTimer;

namespace relvane
{

class CRelvaneView;
class CEventListPanel;
class CTrendPanel;
struct CCommandState;
struct CEventRow;

// Our own commands of the "查看" menu.
enum RecordViewCommandId : int
{
    ID_VIEW_EVENTS = 32942, // "事件列表"
    ID_VIEW_TRENDS = 32943, // "测量值曲线"
};

// The window's side of the event list and the measurand trends: two docks, hidden until asked for,
// over the tables the session's received frames fill (and that a log opened again refills from
// its logged bytes). Views only: the log, its texts and files stay as they are.
class CRecordViews : public QObject
{
    Q_OBJECT

public:
    // pLog: the edit showing the log, where a double-clicked event's frame is selected.
    CRecordViews(CRelvaneView& view, QMainWindow& frame, QPlainTextEdit* pLog);
    ~CRecordViews() override;

    bool OnCommand(int nId);
    bool QueryCommand(int nId, CCommandState& state) const;
    // A log was opened: the tables are read from its received frames. A new log: they empty.
    void OnLogOpened();
    void OnLogNew();
    // Takes in what came since the last refresh (the docks do it on a timer while they show).
    void Refresh();

    const CRecordTables& Tables() const { return m_feed.Tables(); }
    QDockWidget* EventDock() const { return m_pEventDock; }
    QDockWidget* TrendDock() const { return m_pTrendDock; }
    CEventListPanel* EventPanel() const { return m_pEventPanel; }
    CTrendPanel* TrendPanel() const { return m_pTrendPanel; }

    // Selects the event's frame in the log; false (said in the status bar) when the log no longer
    // holds that frame where it was written (emptied by the line limit or "清空", edited).
    bool ShowFrame(const CEventRow& row);

private:
    CRelvaneView& m_view;
    QMainWindow& m_frame;
    QPlainTextEdit* m_pLog;
    CRecordFeed m_feed;
    QDockWidget* m_pEventDock = nullptr;
    QDockWidget* m_pTrendDock = nullptr;
    CEventListPanel* m_pEventPanel = nullptr;
    CTrendPanel* m_pTrendPanel = nullptr;
    QTimer* m_pRefreshTimer = nullptr;
    std::uint64_t m_nEventRevision = ~std::uint64_t(0); // of the tables the panel last showed
    std::uint64_t m_nTrendRevision = ~std::uint64_t(0);
};

} // namespace relvane
