#include "app/MainFrame.h"

#include "app/AboutDialog.h"
#include "app/CommandTable.h"
#include "app/FindReplaceDialog.h"
#include "app/LogEdit.h"
#include "app/LogPrinter.h"
#include "app/RecorderControls.h"
#include "app/ToolbarIcons.h"
#include "forms/FormDialog.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
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
    m_view.PrepareLog();
    setCentralWidget(m_pEdit);
    m_pFind = new CFindReplaceDialog(*m_pEdit, this);

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
    SwitchMode(m_view.Mode());

    connect(&m_view, &CRelvaneView::StateChanged, this, &CMainFrame::ScheduleUpdate);
    connect(m_pEdit, &CLogEdit::CommandChosen, this, &CMainFrame::OnCommand);
    connect(m_pEdit, &CLogEdit::selectionChanged, this, &CMainFrame::ScheduleUpdate);
    connect(m_pEdit, &CLogEdit::undoAvailable, this, &CMainFrame::ScheduleUpdate);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::ScheduleUpdate);
    // New entries arrive at the end; keep them in view. Scrolling waits for the next turn of the
    // event loop, so that a chunk that arrived meanwhile (and may want an answer) goes first.
    connect(&m_view.Log(), &CLogDocument::Appended, m_pEdit, &CLogEdit::ShowAppended, Qt::QueuedConnection);

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
        connect(pMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
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
}

void CMainFrame::OnCommand(int nId)
{
    if (m_view.OnCommand(nId))
    {
        m_pRecorderControls->OnSessionCommand(nId);
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
    case ID_EDIT_UNDO:
        m_pEdit->undo();
        return true;
    case ID_EDIT_CUT:
        m_pEdit->cut();
        return true;
    case ID_EDIT_COPY:
        m_pEdit->copy();
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
    default:
        return m_pRecorderControls->OnCommand(nId);
    }
}

CCommandState CMainFrame::QueryCommand(int nId) const
{
    const CCommandState viewState = m_view.QueryCommand(nId);
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
    case ID_EDIT_UNDO:
        state.bEnabled = m_pEdit->document()->isUndoAvailable() && !m_pEdit->isReadOnly();
        break;
    case ID_EDIT_CUT:
        state.bEnabled = m_pEdit->textCursor().hasSelection() && !m_pEdit->isReadOnly();
        break;
    case ID_EDIT_COPY:
        state.bEnabled = m_pEdit->textCursor().hasSelection();
        break;
    case ID_EDIT_PASTE:
        state.bEnabled = m_pEdit->canPaste();
        break;
    case ID_VIEW_STATUS_BAR:
        state.bEnabled = true;
        state.bChecked = !statusBar()->isHidden();
        break;
    default:
        if (m_pRecorderControls->QueryCommand(nId, state))
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
        const QString strText = QString::fromStdString(m_view.PaneText(nId));
        if (pLabel->text() != strText)
            pLabel->setText(strText);
    }
    m_pRecorderControls->UpdateStatus();
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
    // A new log never asks to save the old one: the text goes, the session stays.
    m_doc.OnNewDocument();
    m_view.PrepareLog();
    UpdateTitle();
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
    const QString strPath =
        QFileDialog::getOpenFileName(this, QStringLiteral("打开"), QString(), RtfFilter());
    if (!strPath.isEmpty())
        OpenLogFile(strPath);
}

bool CMainFrame::OpenLogFile(const QString& strPath)
{
    QString strError;
    // The file goes into the log while no layout is attached: a layout would follow every insert.
    m_pEdit->SetLogDocument(nullptr);
    const bool bOpened = m_doc.OnOpenDocument(strPath, strError);
    m_pEdit->SetLogDocument(m_view.LogDocument());
    if (!bOpened)
    {
        ShowRelvaneMessage(this, strError);
        return false;
    }
    m_view.PrepareLog();
    StoreRecentFiles();
    UpdateTitle();
    return true;
}

bool CMainFrame::SaveLogFile(const QString& strPath)
{
    QString strError;
    if (!m_doc.OnSaveDocument(strPath, strError))
    {
        ShowRelvaneMessage(this, strError);
        return false;
    }
    StoreRecentFiles();
    UpdateTitle();
    return true;
}

void CMainFrame::OnFileSave()
{
    if (m_doc.PathName().isEmpty())
        OnFileSaveAs();
    else
        SaveLogFile(m_doc.PathName());
}

void CMainFrame::OnFileSaveAs()
{
    QFileDialog dialog(this, QStringLiteral("保存为"), m_doc.PathName(), RtfFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("rtf"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        SaveLogFile(dialog.selectedFiles().constFirst());
}

void CMainFrame::OnRecentFile(int nIndex)
{
    if (nIndex < 0 || nIndex >= m_doc.RecentFiles().size())
        return;
    // An entry that does not open (its file is gone) leaves the list once the user was told.
    const QString strPath = m_doc.RecentFiles().at(nIndex);
    if (!OpenLogFile(strPath))
    {
        m_doc.RemoveRecentFile(strPath);
        StoreRecentFiles();
    }
}

void CMainFrame::FillRecentFiles(QMenu* pFileMenu)
{
    // The recent-file entries take the place of the "最近文件" item while there are any.
    for (QAction* pAction : std::as_const(m_recentActions))
    {
        pFileMenu->removeAction(pAction);
        pAction->deleteLater();
    }
    m_recentActions.clear();
    QAction* pPlaceholder = Action(ID_FILE_MRU_FILE1);
    const QStringList& files = m_doc.RecentFiles();
    pPlaceholder->setVisible(files.isEmpty());
    for (qsizetype n = 0; n < files.size(); ++n)
    {
        auto* pAction = new QAction(QStringLiteral("&%1 %2").arg(n + 1).arg(files[n]), pFileMenu);
        pAction->setData(static_cast<int>(ID_FILE_MRU_FILE1 + n));
        pAction->setStatusTip(QStringLiteral("打开该文档"));
        const int nIndex = static_cast<int>(n);
        connect(pAction, &QAction::triggered, this, [this, nIndex] { OnRecentFile(nIndex); });
        pFileMenu->insertAction(pPlaceholder, pAction);
        m_recentActions << pAction;
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
    if (PrintLogDocument(*m_pEdit->document(), printer))
        return true;
    ShowRelvaneMessage(this, QStringLiteral("无法启动打印作业。"));
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
            [this](QPrinter* pPrinter) { PrintLogDocument(*m_pEdit->document(), *pPrinter); });
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
