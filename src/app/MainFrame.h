#pragma once

#include "app/RelvaneDoc.h"

#include <QMainWindow>
#include <QPointer>
#include <map>
#include <memory>

class QLabel;
class QMenu;
class QPrinter;
class QTimer;
class QToolBar;

namespace relvane
{

class CRelvaneView;
class CLogEdit;
class CFindReplaceDialog;
class CDisturbanceControls;
class CRecorderControls;
class CPlanUserInterface;
class CTestPlanDialog;
class CPlanRunGuard;
class CBenchAssist;
class CMonitorWindow;
class CRecordViews;
struct CCommandState;

// The workbench window: per-mode menu bar, four dockable toolbars, the status bar with its six
// panes, the accelerators, and the log edit over the session's document. Commands go to the
// session first; what it does not handle (mode switch, file, edit, view and help) is handled here.
class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    explicit CMainFrame(CRelvaneView& view, QWidget* pParent = nullptr);
    ~CMainFrame() override;

    // Routes a command by id as a menu item, toolbar button, accelerator or popup item would.
    void OnCommand(int nId);
    // Enabled and checked state of a command along the route: session, then window (off while a
    // plan runs when it would disturb the plan).
    CCommandState QueryCommand(int nId) const;
    // Refreshes every action's enabled and checked state and the status panes.
    void UpdateCommandStates();

    QAction* Action(int nId) const;
    QToolBar* ToolBar(int nToolbar) const;
    QLabel* Pane(int nPaneId) const;
    CLogEdit* LogEdit() const { return m_pEdit; }
    CFindReplaceDialog* FindDialog() const { return m_pFind; }
    CRecorderControls* RecorderControls() const { return m_pRecorderControls; }
    // The test plans need the session built with this interface; without it "测试计划" is off.
    void SetPlanUserInterface(CPlanUserInterface* pUi) { m_pPlanUi = pUi; }
    // The "测试计划" dialog once opened (nullptr before).
    CTestPlanDialog* TestPlanDialog() const { return m_pTestPlan; }
    CBenchAssist* BenchAssist() const { return m_pAssist; }
    // The line monitor's window, once "线路监视…" opened it (else null).
    CMonitorWindow* MonitorWindow() const { return m_pMonitorWindow; }
    CDisturbanceControls* DisturbanceControls() const { return m_pDisturbanceControls; }
    CRecordViews* RecordViews() const { return m_pRecordViews; }
    CRelvaneDoc& Document() { return m_doc; }
    // Opens a log file as "打开" and the recent-file items do; failures are shown to the user.
    bool OpenLogFile(const QString& strPath);
    bool SaveLogFile(const QString& strPath);
    // Prints the log on the given printer without a dialog; a failure is shown to the user.
    bool PrintLog(QPrinter& printer);
    int ShownMode() const { return m_nShownMode; }
    // The toolbar area's popup: the toolbars of the mode on show, by name.
    QMenu* createPopupMenu() override;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    // With asking to save on, a log with unsaved entries is not lost without a question; a
    // running plan is stopped first, when the user says so.
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void CreateActions();
    void CreateToolBars();
    void CreateStatusBar();
    // Loads the mode's menu and shows the mode's toolbars.
    void SwitchMode(int nMode);
    bool OnFrameCommand(int nId);
    CCommandState QueryRouteCommand(int nId) const;
    void ScheduleUpdate();
    void OnClipboardChanged();
    void OnFileNew();
    void OnFileOpen();
    // False when the log was not saved (the name was not given, or saving failed).
    bool OnFileSave();
    bool OnFileSaveAs();
    // The smallest window whose menu bar, toolbars and status panes stay readable.
    void UpdateMinimumSize();
    void OnRecentFile(int nIndex);
    void FillRecentFiles(QMenu* pFileMenu);
    void StoreRecentFiles();
    void OnFilePrint();
    void OnFilePrintPreview();
    void OnFilePrintSetup();
    QPrinter& Printer();
    void OnAbout();
    void OnTestPlan();
    void UpdateTitle();

    CRelvaneView& m_view;
    CRelvaneDoc m_doc;
    QList<QAction*> m_recentActions;
    CLogEdit* m_pEdit = nullptr;
    CFindReplaceDialog* m_pFind = nullptr;
    CRecorderControls* m_pRecorderControls = nullptr;
    CPlanUserInterface* m_pPlanUi = nullptr;
    CTestPlanDialog* m_pTestPlan = nullptr;
    CPlanRunGuard* m_pPlanGuard = nullptr; // the commands off and the close asked while a plan runs
    CBenchAssist* m_pAssist = nullptr;
    CMonitorWindow* m_pMonitorWindow = nullptr;
    CDisturbanceControls* m_pDisturbanceControls = nullptr;
    CRecordViews* m_pRecordViews = nullptr;
    std::map<int, QAction*> m_actions;
    std::map<int, QToolBar*> m_toolBars;
    std::map<int, QLabel*> m_panes;
    QTimer* m_pUpdateTimer = nullptr;
    QTimer* m_pIdleTimer = nullptr;
    int m_nShownMode = -1;
    bool m_bCanPaste = false; // as of the clipboard's last change notice
    std::unique_ptr<QPrinter> m_pPrinter;
};

} // namespace relvane
