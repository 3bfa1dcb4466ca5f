#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QDockWidget;
class QLabel;
class QMainWindow;
class QTableWidget;
class QTimer;

namespace relvane
{

class CRelvaneView;
struct CCommandState;

// The window's side of time stamps, capture and statistics: the capture and statistics commands,
// the capture's status pane, the statistics panel (a dock, hidden until asked for) and the stamp
// form kept between runs in our own settings file (never in the key the recent files live in).
class CRecorderControls : public QObject
{
    Q_OBJECT

public:
    // Where "捕获到文件…" asks for the file name; tests set a hook so that no dialog opens. An
    // empty name cancels.
    using FileNameHook = std::function<QString(QWidget* pParent)>;
    static void SetFileNameHook(FileNameHook fnHook);

    CRecorderControls(CRelvaneView& view, QMainWindow& frame);

    // Commands of the window's own (capture, statistics panel); false for any other id.
    bool OnCommand(int nId);
    bool QueryCommand(int nId, CCommandState& state) const;
    // After the session ran a command: a changed stamp form is stored.
    void OnSessionCommand(int nId);
    // Refreshes the capture pane (and the panel while it shows).
    void UpdateStatus();

    QDockWidget* StatisticsPanel() const { return m_pDock; }
    QTableWidget* StatisticsTable() const { return m_pTable; }
    QLabel* StatisticsSummary() const { return m_pSummary; }
    QLabel* CapturePane() const { return m_pCapturePane; }

private:
    void StartCapture();
    void RefreshStatistics();
    // Gives the panel the width its counting columns need (names are elided beyond it).
    void FitPanel();

    CRelvaneView& m_view;
    QMainWindow& m_frame;
    QDockWidget* m_pDock = nullptr;
    QTableWidget* m_pTable = nullptr;
    QLabel* m_pSummary = nullptr;
    QLabel* m_pCapturePane = nullptr;
    QTimer* m_pRefreshTimer = nullptr;
};

} // namespace relvane
