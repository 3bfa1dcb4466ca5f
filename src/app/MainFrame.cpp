#include "app/MainFrame.h"

#include "app/AboutDialog.h"
#include "app/BenchAssist.h"
#include "app/CommandTable.h"
#include "app/DisturbanceControls.h"
#include "app/record/RecordViewer.h"
#include "app/FindReplaceDialog.h"
#include "app/LogEdit.h"
#include "app/LinkState.h"
#include "app/LogPrinter.h"
#include "app/MonitorWindow.h"
#include "app/OwnSettings.h"
#include "app/PlanRunGuard.h"
#include "app/RecorderControls.h"
#include "app/RecordViews.h"
#include "app/TestPlanDialog.h"
#include "app/ToolbarIcons.h"
#include "forms/FormDialog.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QDir>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace relvane
{

namespace
{

// Panes of the status bar after the message pane, left to right, with their texts before the
// first update (each pane as wide as that text).
const struct
{
    int nId;
    const char16_t* pszInitial;
} kPanes[] = {
    {ID_INDICATOR_ADDRESS, u"装置地址       "}, {ID_INDICATOR_CPU, u"CPU号       "},
    {ID_INDICATOR_PORT, u"串口    "},           {ID_INDICATOR_BAUD, u"波特率      "},
    {ID_INDICATOR_PARITY, u"校验  "},
};

constexpr int kToolBarOrder[] = {IDR_MAINFRAME, IDR_TOOLBAR_94, IDR_TOOLBAR_103, IDR_TOOLBAR_ETH};

// Names of the toolbars in the toolbar area's popup.
QString ToolBarTitle(int nToolbar)
{
    switch (nToolbar)
    {
    case IDR_MAINFRAME:
        return QStringLiteral("标准");
    case IDR_TOOLBAR_94:
        return QStringLiteral("94规约");
    case IDR_TOOLBAR_103:
        return QStringLiteral("103规约");
    default:
        return QStringLiteral("以太网103");
    }
}

} // namespace

CMainFrame::CMainFrame(CRelvaneView& view, QWidget* pParent)
    : QMainWindow(pParent), m_view(view), m_doc(view.Log())
{
    {
        QSettings settings(QStringLiteral("Local AppWizard-Generated Applications"),
                           QStringLiteral("Relvane"));
        QStringList files;
        for (int n = 1; n <= CRelvaneDoc::kRecentFiles; ++n)
        {
            const QString strFile =
                settings.value(QStringLiteral("Recent File List/File%1").arg(n)).toString();
            if (!strFile.isEmpty())
                files << strFile;
        }
        m_doc.SetRecentFiles(files);
    }
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(ApplicationIcon());
    m_pEdit = new CLogEdit(this);
    m_pEdit->setObjectName(QStringLiteral("logEdit"));
    m_pEdit->SetLogDocument(m_view.LogDocument());
    m_pEdit->WatchLog(m_view.Log()); // "清空" and the line limit can be undone
    m_bCanPaste = m_pEdit->canPaste();
    m_view.PrepareLog();
    setCentralWidget(m_pEdit);
    m_pFind = new CFindReplaceDialog(*m_pEdit, this);
    m_pPlanGuard = new CPlanRunGuard(*this);
    connect(m_pPlanGuard, &CPlanRunGuard::RunningChanged, this, &CMainFrame::UpdateCommandStates);

    m_pUpdateTimer = new QTimer(this);
    m_pUpdateTimer->setSingleShot(true);
    m_pUpdateTimer->setInterval(0);
    connect(m_pUpdateTimer, &QTimer::timeout, this, &CMainFrame::UpdateCommandStates);
    // Idle-time refresh of the buttons and panes, for states the channels change on their own.
    m_pIdleTimer = new QTimer(this);
    m_pIdleTimer->setInterval(250);
    connect(m_pIdleTimer, &QTimer::timeout, this, &CMainFrame::UpdateCommandStates);
    m_pIdleTimer->start();

    CreateActions();
    CreateToolBars();
    CreateStatusBar();
    m_pRecorderControls = new CRecorderControls(m_view, *this);
    m_pAssist = new CBenchAssist(m_view, *this, *m_pEdit);
    m_pDisturbanceControls = new CDisturbanceControls(m_view, *this);
    m_pRecordViews = new CRecordViews(m_view, *this, m_pEdit);
    SwitchMode(m_view.Mode());

    connect(&m_view, &CRelvaneView::StateChanged, this, &CMainFrame::ScheduleUpdate);
    connect(m_pEdit, &CLogEdit::CommandChosen, this, &CMainFrame::OnCommand);
    connect(m_pEdit, &CLogEdit::selectionChanged, this, &CMainFrame::ScheduleUpdate);
    connect(m_pEdit, &CLogEdit::UndoAvailable, this, &CMainFrame::ScheduleUpdate);
    // The paste state follows the clipboard's change notices: asking the clipboard on every
    // refresh would be a round trip to the display server four times a second.
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::OnClipboardChanged);
    // New entries arrive at the end; keep them in view. Scrolling waits for the next turn of the
    // event loop, so that a chunk that arrived meanwhile (and may want an answer) goes first.
    // (With hints on, only while the view is at the end: a user reading back keeps the place.)
    connect(&m_view.Log(), &CLogDocument::Appended, m_pAssist, &CBenchAssist::OnAppended,
            Qt::QueuedConnection);

    UpdateTitle();
    resize(900, 600);
}

CMainFrame::~CMainFrame()
{
    // The document belongs to the session, which outlives the window.
    m_pEdit->SetLogDocument(nullptr);
}

void CMainFrame::CreateActions()
{
    for (const CCommandText& text : CommandTexts())
    {
        auto* pAction = new QAction(text.strCaption, this);
        const int nId = text.nId;
        pAction->setData(nId);
        pAction->setObjectName(QStringLiteral("cmd_%1").arg(nId));
        pAction->setStatusTip(text.strPrompt);
        pAction->setToolTip(text.strToolTip);
        pAction->setProperty("noToolTip", text.strToolTip.isEmpty());
        pAction->setCheckable(text.bCheckable);
        pAction->setIcon(CommandIcon(nId));
        pAction->setIconVisibleInMenu(false);
        if (!text.shortcuts.isEmpty())
        {
            pAction->setShortcuts(text.shortcuts);
            pAction->setShortcutContext(Qt::WindowShortcut);
        }
        connect(pAction, &QAction::triggered, this, [this, nId] { OnCommand(nId); });
        // Every command belongs to the window so that its keys work in every mode.
        addAction(pAction);
        m_actions[nId] = pAction;
    }
}

void CMainFrame::CreateToolBars()
{
    for (const int nToolbar : kToolBarOrder)
    {
        auto* pBar = new QToolBar(ToolBarTitle(nToolbar), this);
        pBar->setObjectName(QStringLiteral("toolbar_%1").arg(nToolbar));
        pBar->setIconSize(QSize(16, 16));
        pBar->setMovable(true);
        pBar->setFloatable(true);
        pBar->setAllowedAreas(Qt::AllToolBarAreas);
        pBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        for (const int nId : ToolbarButtons(nToolbar))
        {
            if (nId == 0)
            {
                pBar->addSeparator();
                continue;
            }
            QAction* pAction = Action(nId);
            pBar->addAction(pAction);
            if (QWidget* pButton = pBar->widgetForAction(pAction))
            {
                pButton->setObjectName(QStringLiteral("button_%1").arg(nId));
                pButton->installEventFilter(this);
                if (auto* pToolButton = qobject_cast<QToolButton*>(pButton))
                    pToolButton->setAutoRaise(true);
            }
        }
        addToolBar(Qt::TopToolBarArea, pBar);
        m_toolBars[nToolbar] = pBar;
    }
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* pBar = statusBar();
    auto* pMessage = new QLabel(QStringLiteral("就绪"), pBar);
    pMessage->setObjectName(QStringLiteral("pane_0"));
    pBar->addWidget(pMessage, 1);
    m_panes[ID_INDICATOR_MESSAGE] = pMessage;
    // The link's state in a pane of its own, before the specified ones: a passing message (a
    // button's prompt under the mouse) never hides it.
    auto* pLink = new QLabel(QStringLiteral("未连接"), pBar);
    pLink->setObjectName(QStringLiteral("pane_%1").arg(ID_INDICATOR_LINK));
    pLink->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pBar->addPermanentWidget(pLink);
    m_panes[ID_INDICATOR_LINK] = pLink;
    for (const auto& pane : kPanes)
    {
        const QString strInitial = QString::fromUtf16(pane.pszInitial);
        auto* pLabel = new QLabel(strInitial, pBar);
        pLabel->setObjectName(QStringLiteral("pane_%1").arg(pane.nId));
        pLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pLabel->setMinimumWidth(QFontMetrics(pLabel->font()).horizontalAdvance(strInitial) + 8);
        pBar->addPermanentWidget(pLabel);
        m_panes[pane.nId] = pLabel;
    }
}

void CMainFrame::SwitchMode(int nMode)
{
    // A fresh menu bar for the mode; the previous one goes with its menus.
    auto* pBar = new QMenuBar(this);
    for (const CMenuPopup& popup : ModeMenu(nMode))
    {
        if (popup.nCommandId != 0)
        {
            pBar->addAction(Action(popup.nCommandId));
            continue;
        }
        QMenu* pMenu = pBar->addMenu(popup.strTitle);
        for (const int nId : popup.items)
        {
            if (nId == 0)
                pMenu->addSeparator();
            else
                pMenu->addAction(Action(nId));
        }
        connect(pMenu, &QMenu::aboutToShow, this,
                [this]
                {
                    m_bCanPaste = m_pEdit->canPaste(); // a menu is worth one question
                    UpdateCommandStates();
                });
        if (popup.items.front() == ID_FILE_NEW)
            connect(pMenu, &QMenu::aboutToShow, this, [this, pMenu] { FillRecentFiles(pMenu); });
    }
    setMenuBar(pBar);
    for (const auto& [nToolbar, pToolBar] : m_toolBars)
    {
        const bool bInMode = ToolbarVisibleInMode(nToolbar, nMode);
        pToolBar->setVisible(bInMode);
        pToolBar->toggleViewAction()->setEnabled(bInMode);
    }
    m_nShownMode = nMode;
    UpdateCommandStates();
    UpdateMinimumSize();
}

void CMainFrame::UpdateMinimumSize()
{
    // The status panes at their widest texts side by side with a readable message pane, the
    // menu bar in one line, and the widest toolbar of the mode.
    const QFontMetrics metrics(statusBar()->font());
    const char16_t* const widest[] = {u"装置地址:255", u"CPU号:255", u"COM256", u"115200 bps", u"SPACE"};
    int nWidth = metrics.horizontalAdvance(QStringLiteral("就绪就绪就绪就绪就绪就绪")) +
                 metrics.horizontalAdvance(WidestLinkStateText()) + 16;
    for (const char16_t* pszText : widest)
        nWidth += metrics.horizontalAdvance(QString::fromUtf16(pszText)) + 16;
    nWidth = std::max(nWidth, menuBar()->sizeHint().width());
    int nToolBars = 0;
    for (const auto& [nToolbar, pToolBar] : m_toolBars)
    {
        if (ToolbarVisibleInMode(nToolbar, m_nShownMode))
        {
            nWidth = std::max(nWidth, pToolBar->sizeHint().width());
            nToolBars = std::max(nToolBars, pToolBar->sizeHint().height());
        }
    }
    // Height: menu bar, the toolbars on two rows, a few lines of log, the status bar.
    const int nHeight = menuBar()->sizeHint().height() + 2 * nToolBars +
                        6 * QFontMetrics(m_pEdit->font()).lineSpacing() + statusBar()->sizeHint().height() +
                        24;
    setMinimumSize(nWidth, nHeight);
}

void CMainFrame::OnCommand(int nId)
{
    if (m_pPlanGuard->Blocks(nId))
        return;
    const bool bPortWasOpen = m_view.PortOpen();
    // 83H starts a poll that repeats on its own; clicked again while it repeats, it stops it.
    if (nId == ID_94_POLL && m_view.Proto94Polling())
    {
        m_view.StopProto94Polling();
        ScheduleUpdate();
        return;
    }
    const bool bSession = m_view.OnCommand(nId);
    if (bSession)
    {
        m_pRecorderControls->OnSessionCommand(nId);
        m_pAssist->OnSessionCommand(nId, bPortWasOpen);
        ScheduleUpdate();
        return;
    }
    if (nId == ID_MODE_94 || nId == ID_MODE_103 || nId == ID_MODE_ETH103)
    {
        SwitchMode(m_view.Mode());
        return;
    }
    if (QueryCommand(nId).bEnabled)
        OnFrameCommand(nId);
    ScheduleUpdate();
}

bool CMainFrame::OnFrameCommand(int nId)
{
    switch (nId)
    {
    case ID_FILE_NEW:
        OnFileNew();
        return true;
    case ID_FILE_OPEN:
        OnFileOpen();
        return true;
    case ID_FILE_SAVE:
        OnFileSave();
        return true;
    case ID_FILE_SAVE_AS:
        OnFileSaveAs();
        return true;
    case ID_FILE_PRINT:
        OnFilePrint();
        return true;
    case ID_FILE_PRINT_PREVIEW:
        OnFilePrintPreview();
        return true;
    case ID_FILE_PRINT_SETUP:
        OnFilePrintSetup();
        return true;
    case ID_APP_EXIT:
        close();
        return true;
    case ID_APP_ABOUT:
        OnAbout();
        return true;
    case ID_TEST_PLAN:
        OnTestPlan();
        return true;
    case ID_EDIT_UNDO:
        m_pEdit->Undo();
        return true;
    case ID_EDIT_CUT:
        m_pEdit->Cut();
        return true;
    case ID_EDIT_COPY:
        m_pEdit->Copy();
        return true;
    case ID_EDIT_PASTE:
        m_pEdit->paste();
        return true;
    case ID_EDIT_SELECT_ALL:
        m_pEdit->selectAll();
        return true;
    case ID_EDIT_FIND:
        m_pFind->OpenFind();
        return true;
    case ID_EDIT_REPLACE:
        m_pFind->OpenReplace();
        return true;
    case ID_EDIT_REPEAT:
        m_pFind->FindNext();
        return true;
    case ID_VIEW_STATUS_BAR:
        statusBar()->setVisible(!statusBar()->isVisible());
        UpdateCommandStates();
        return true;
    case ID_LINE_MONITOR:
        // One window for the life of the frame; closing it stops listening but keeps its log.
        if (m_pMonitorWindow == nullptr)
            m_pMonitorWindow = new CMonitorWindow(this);
        m_pMonitorWindow->show();
        m_pMonitorWindow->raise();
        m_pMonitorWindow->activateWindow();
        return true;
    case ID_RECORD_VIEW:
        OpenRecordViewer(this, QString());
        return true;
    default:
        return m_pRecorderControls->OnCommand(nId) || m_pAssist->OnCommand(nId) ||
               m_pDisturbanceControls->OnCommand(nId) || m_pRecordViews->OnCommand(nId);
    }
}

CCommandState CMainFrame::QueryCommand(int nId) const
{
    CCommandState state = QueryRouteCommand(nId);
    if (m_pPlanGuard->Blocks(nId))
        state.bEnabled = false;
    return state;
}

CCommandState CMainFrame::QueryRouteCommand(int nId) const
{
    CCommandState viewState = m_view.QueryCommand(nId);
    if (nId == ID_94_POLL)
        viewState.bChecked = m_view.Proto94Polling();
    if (viewState.bHandled)
        return viewState;
    CCommandState state;
    state.bHandled = true;
    switch (nId)
    {
    case ID_MODE_94:
    case ID_MODE_103:
    case ID_MODE_ETH103:
        state.bEnabled = true;
        state.bChecked = m_view.Mode() == nId - ID_MODE_94;
        break;
    case ID_FILE_NEW:
    case ID_FILE_OPEN:
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_PREVIEW:
    case ID_FILE_PRINT_SETUP:
    case ID_APP_EXIT:
    case ID_APP_ABOUT:
    case ID_EDIT_SELECT_ALL:
    case ID_EDIT_FIND:
    case ID_EDIT_REPLACE:
    case ID_EDIT_REPEAT:
        state.bEnabled = true;
        break;
    case ID_TEST_PLAN:
        state.bEnabled = m_pPlanUi != nullptr;
        break;
    case ID_EDIT_UNDO:
        state.bEnabled = m_pEdit->CanUndo() && !m_pEdit->isReadOnly();
        break;
    case ID_EDIT_CUT:
        state.bEnabled = m_pEdit->textCursor().hasSelection() && !m_pEdit->isReadOnly();
        break;
    case ID_EDIT_COPY:
        state.bEnabled = m_pEdit->textCursor().hasSelection();
        break;
    case ID_EDIT_PASTE:
        state.bEnabled = m_bCanPaste && !m_pEdit->isReadOnly();
        break;
    case ID_VIEW_STATUS_BAR:
        state.bEnabled = true;
        state.bChecked = !statusBar()->isHidden();
        break;
    case ID_LINE_MONITOR:
    case ID_RECORD_VIEW:
        state.bEnabled = true;
        break;
    default:
        if (m_pRecorderControls->QueryCommand(nId, state) || m_pAssist->QueryCommand(nId, state) ||
            m_pDisturbanceControls->QueryCommand(nId, state) || m_pRecordViews->QueryCommand(nId, state))
            break;
        // No handler anywhere (the log holds no embedded objects; the recent-file placeholder
        // stands for an empty list): disabled.
        state.bHandled = false;
        break;
    }
    return state;
}

void CMainFrame::UpdateCommandStates()
{
    for (const auto& [nId, pAction] : m_actions)
    {
        const CCommandState state = QueryCommand(nId);
        pAction->setEnabled(state.bEnabled);
        if (pAction->isCheckable())
            pAction->setChecked(state.bChecked);
    }
    // A lost port's notice stays until the port is connected again.
    if (m_view.PortOpen() &&
        statusBar()->currentMessage() == QString::fromUtf8(CRelvaneView::kPortLostMessage))
        statusBar()->clearMessage();
    for (const auto& [nId, pLabel] : m_panes)
    {
        if (nId == ID_INDICATOR_MESSAGE)
            continue;
        const QString strText = nId == ID_INDICATOR_LINK
                                    ? LinkStateText(m_view)
                                    : m_pAssist->PaneText(nId, QString::fromStdString(m_view.PaneText(nId)));
        if (pLabel->text() != strText)
            pLabel->setText(strText);
    }
    m_pRecorderControls->UpdateStatus();
}

void CMainFrame::OnClipboardChanged()
{
    m_bCanPaste = m_pEdit->canPaste();
    ScheduleUpdate();
}

void CMainFrame::ScheduleUpdate()
{
    m_pUpdateTimer->start();
}

QAction* CMainFrame::Action(int nId) const
{
    const auto it = m_actions.find(nId);
    return it != m_actions.end() ? it->second : nullptr;
}

QToolBar* CMainFrame::ToolBar(int nToolbar) const
{
    const auto it = m_toolBars.find(nToolbar);
    return it != m_toolBars.end() ? it->second : nullptr;
}

QLabel* CMainFrame::Pane(int nPaneId) const
{
    const auto it = m_panes.find(nPaneId);
    return it != m_panes.end() ? it->second : nullptr;
}

QMenu* CMainFrame::createPopupMenu()
{
    // Only the bars of the mode on show: a bar of another mode would send that protocol's frames
    // on this mode's line.
    auto* pMenu = new QMenu(this);
    for (const int nToolbar : kToolBarOrder)
    {
        if (ToolbarVisibleInMode(nToolbar, m_nShownMode))
            pMenu->addAction(ToolBar(nToolbar)->toggleViewAction());
    }
    return pMenu;
}

bool CMainFrame::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    // Buttons of commands without a tool tip show none (Qt would fall back to the caption).
    if (pEvent->type() == QEvent::ToolTip)
    {
        if (auto* pButton = qobject_cast<QToolButton*>(pWatched))
        {
            if (pButton->defaultAction() && pButton->defaultAction()->property("noToolTip").toBool())
                return true;
        }
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}

void CMainFrame::OnFileNew()
{
    // A new log asks to save the old one only when the user asked for that: the text goes, the
    // session stays.
    if (!m_pAssist->MayDiscardLog(m_doc.Title(), [this] { return OnFileSave(); }))
        return;
    m_doc.OnNewDocument();
    m_view.PrepareLog();
    m_pRecordViews->OnLogNew();
    m_pAssist->MarkSaved();
    UpdateTitle();
}

void CMainFrame::closeEvent(QCloseEvent* pEvent)
{
    if (!m_pPlanGuard->MayClose())
    {
        pEvent->ignore();
        return;
    }
    if (!m_pAssist->MayDiscardLog(m_doc.Title(), [this] { return OnFileSave(); }))
    {
        pEvent->ignore();
        return;
    }
    QMainWindow::closeEvent(pEvent);
}

namespace
{
QString RtfFilter()
{
    return QStringLiteral("RTF(*.RTF) (*.rtf *.RTF);;所有文件 (*.*) (*)");
}
} // namespace

void CMainFrame::OnFileOpen()
{
    if (!m_pAssist->MayDiscardLog(m_doc.Title(), [this] { return OnFileSave(); }))
        return;
    const QString strPath =
        QFileDialog::getOpenFileName(this, QStringLiteral("打开"), LastFolder(), RtfFilter());
    if (!strPath.isEmpty())
        OpenLogFile(strPath);
}

bool CMainFrame::OpenLogFile(const QString& strPath)
{
    QString strError;
    // The file goes into the log while the edit shows it: the reader inserts it in one edit
    // block, which the edit's layout takes as one change and lays out only what it shows.
    // Attaching a filled log to the edit instead would give every paragraph a layout object of
    // its own (some 300 bytes each) that stays until the log is replaced.
    const bool bOpened = m_doc.OnOpenDocument(strPath, strError);
    if (!bOpened)
    {
        ShowRelvaneMessage(this, strError);
        return false;
    }
    m_view.PrepareLog();
    m_pRecordViews->OnLogOpened();
    m_pAssist->MarkSaved();
    RememberFolder(strPath);
    StoreRecentFiles();
    UpdateTitle();
    return true;
}

bool CMainFrame::SaveLogFile(const QString& strPath)
{
    QString strError;
    if (!m_doc.OnSaveDocument(strPath, strError,
                              [this](const QString& strWarning) { ShowRelvaneMessage(this, strWarning); }))
    {
        ShowRelvaneMessage(this, strError);
        return false;
    }
    m_pAssist->MarkSaved();
    RememberFolder(strPath);
    StoreRecentFiles();
    UpdateTitle();
    return true;
}

bool CMainFrame::OnFileSave()
{
    if (m_doc.PathName().isEmpty())
        return OnFileSaveAs();
    return SaveLogFile(m_doc.PathName());
}

bool CMainFrame::OnFileSaveAs()
{
    QFileDialog dialog(this, QStringLiteral("保存为"),
                       m_doc.PathName().isEmpty() ? LastFolder() : m_doc.PathName(), RtfFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("rtf"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        return SaveLogFile(dialog.selectedFiles().constFirst());
    return false;
}

void CMainFrame::OnRecentFile(int nIndex)
{
    if (nIndex < 0 || nIndex >= m_doc.RecentFiles().size())
        return;
    // An entry that does not open (its file is gone) leaves the list once the user was told.
    const QString strPath = m_doc.RecentFiles().at(nIndex);
    if (!m_pAssist->MayDiscardLog(m_doc.Title(), [this] { return OnFileSave(); }))
        return;
    if (!OpenLogFile(strPath))
    {
        m_doc.RemoveRecentFile(strPath);
        StoreRecentFiles();
    }
}

void CMainFrame::FillRecentFiles(QMenu* pFileMenu)
{
    // The recent-file entries take the place of the "最近文件" item while there are any. They
    // belong to the window, not to a menu: a mode switch replaces the menu bar with its menus,
    // and an entry owned by the old "文件" menu would go with it.
    QAction* pPlaceholder = Action(ID_FILE_MRU_FILE1);
    const QStringList& files = m_doc.RecentFiles();
    pPlaceholder->setVisible(files.isEmpty());
    while (m_recentActions.size() < files.size())
    {
        const int nIndex = static_cast<int>(m_recentActions.size());
        auto* pAction = new QAction(this);
        pAction->setData(static_cast<int>(ID_FILE_MRU_FILE1 + nIndex));
        pAction->setObjectName(QStringLiteral("recent_%1").arg(nIndex + 1));
        pAction->setStatusTip(QStringLiteral("打开该文档"));
        connect(pAction, &QAction::triggered, this, [this, nIndex] { OnRecentFile(nIndex); });
        m_recentActions << pAction;
    }
    for (qsizetype n = 0; n < m_recentActions.size(); ++n)
    {
        QAction* pAction = m_recentActions[n];
        pFileMenu->removeAction(pAction);
        if (n >= files.size())
            continue;
        // Shown as the system writes paths (backslashes on Windows).
        pAction->setText(QStringLiteral("&%1 %2").arg(n + 1).arg(QDir::toNativeSeparators(files[n])));
        pFileMenu->insertAction(pPlaceholder, pAction);
    }
}

void CMainFrame::StoreRecentFiles()
{
    QSettings settings(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Relvane"));
    const QStringList& files = m_doc.RecentFiles();
    for (int n = 1; n <= CRelvaneDoc::kRecentFiles; ++n)
    {
        const QString strKey = QStringLiteral("Recent File List/File%1").arg(n);
        if (n <= files.size())
            settings.setValue(strKey, files[n - 1]);
        else
            settings.remove(strKey);
    }
}

QPrinter& CMainFrame::Printer()
{
    // One printer for the whole run, so that the choice of "打印设置" holds for print and preview.
    if (!m_pPrinter)
        m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_pPrinter;
}

bool CMainFrame::PrintLog(QPrinter& printer)
{
    m_view.Log().Flush();
    printer.setDocName(m_doc.Title());
    QString strError;
    if (PrintLogDocument(*m_pEdit->document(), printer, &strError))
        return true;
    ShowRelvaneMessage(this, strError);
    return false;
}

void CMainFrame::OnFilePrint()
{
    QPrintDialog dialog(&Printer(), this);
    dialog.setWindowTitle(QStringLiteral("打印"));
    if (dialog.exec() == QDialog::Accepted)
        PrintLog(Printer());
    // A page range holds for this job only, not for the preview or the next print.
    Printer().setPrintRange(QPrinter::AllPages);
}

void CMainFrame::OnFilePrintPreview()
{
    m_view.Log().Flush();
    QPrintPreviewDialog dialog(&Printer(), this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* pPrinter) { PreviewLogDocument(*m_pEdit->document(), *pPrinter); });
    const int nPages = StoredPreviewPages();
    ShowPreviewPages(dialog, nPages);
    dialog.exec();
    const int nShown = PreviewPagesShown(dialog);
    if (nShown != 0 && nShown != nPages)
        StorePreviewPages(nShown);
}

void CMainFrame::OnFilePrintSetup()
{
    QPageSetupDialog dialog(&Printer(), this);
    dialog.exec();
}

void CMainFrame::OnTestPlan()
{
    if (m_pPlanUi == nullptr)
        return;
    if (m_pTestPlan == nullptr)
    {
        m_pTestPlan = new CTestPlanDialog(
            m_view, *m_pPlanUi, [this](int nModeCommand) { OnCommand(nModeCommand); },
            [this](long long nPosition)
            {
                // The case's first proving frame at the top of the log's view, selected.
                QTextCursor cursor(m_pEdit->document());
                cursor.setPosition(static_cast<int>(
                    std::min<long long>(nPosition, m_pEdit->document()->characterCount() - 1)));
                cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
                m_pEdit->setTextCursor(cursor);
                m_pEdit->ensureCursorVisible();
                activateWindow();
            },
            this);
        m_pPlanGuard->Watch(m_pTestPlan->Runner());
    }
    m_pTestPlan->show();
    m_pTestPlan->raise();
    m_pTestPlan->activateWindow();
}

void CMainFrame::OnAbout()
{
    CAboutDialog dialog(this);
    dialog.exec();
}

void CMainFrame::UpdateTitle()
{
    setWindowTitle(m_doc.Title() + QStringLiteral(" - Relvane"));
}

} // namespace relvane
