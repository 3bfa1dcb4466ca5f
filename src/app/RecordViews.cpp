#include "app/RecordViews.h"

#include "app/EventListPanel.h"
#include "app/TrendPanel.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"

#include "events/LoggedFrame.h"
#include "session/LogDocument.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>
#include <QTimer>

namespace relvane
{
namespace
{

constexpr int kRefreshMs = 500;
constexpr int kMessageMs = 5000;

} // namespace

CRecordViews::CRecordViews(CRelvaneView& view, QMainWindow& frame, QPlainTextEdit* pLog)
    : QObject(&frame), m_view(view), m_frame(frame), m_pLog(pLog)
{
    m_view.Recorder().AddReceivedFrameObserver(&m_feed);

    m_pEventDock = new QDockWidget(QStringLiteral("事件列表"), &frame);
    m_pEventDock->setObjectName(QStringLiteral("eventListPanel"));
    m_pEventPanel = new CEventListPanel(m_feed.Tables(), m_pEventDock);
    m_pEventDock->setWidget(m_pEventPanel);
    frame.addDockWidget(Qt::BottomDockWidgetArea, m_pEventDock);
    m_pEventDock->hide();

    m_pTrendDock = new QDockWidget(QStringLiteral("测量值曲线"), &frame);
    m_pTrendDock->setObjectName(QStringLiteral("trendPanel"));
    m_pTrendPanel = new CTrendPanel(m_feed.Tables(), m_pTrendDock);
    m_pTrendDock->setWidget(m_pTrendPanel);
    frame.addDockWidget(Qt::BottomDockWidgetArea, m_pTrendDock);
    m_pTrendDock->hide();

    connect(m_pEventPanel, &CEventListPanel::ShowFrame, this, [this](const CEventRow& row) { ShowFrame(row); });
    m_pRefreshTimer = new QTimer(this);
    m_pRefreshTimer->setInterval(kRefreshMs);
    connect(m_pRefreshTimer, &QTimer::timeout, this, &CRecordViews::Refresh);
    for (QDockWidget* pDock : {m_pEventDock, m_pTrendDock})
    {
        connect(pDock, &QDockWidget::visibilityChanged, this,
                [this](bool)
                {
                    const bool bShown = !m_pEventDock->isHidden() || !m_pTrendDock->isHidden();
                    Refresh();
                    if (bShown && !m_pRefreshTimer->isActive())
                        m_pRefreshTimer->start();
                    else if (!bShown)
                        m_pRefreshTimer->stop();
                });
    }
}

CRecordViews::~CRecordViews()
{
    m_view.Recorder().RemoveReceivedFrameObserver(&m_feed);
}

bool CRecordViews::OnCommand(int nId)
{
    QDockWidget* pDock = nId == ID_VIEW_EVENTS ? m_pEventDock : nId == ID_VIEW_TRENDS ? m_pTrendDock : nullptr;
    if (pDock == nullptr)
        return false;
    pDock->setVisible(pDock->isHidden());
    if (!pDock->isHidden())
    {
        // A table or a plot needs room: at least half the window's height, unless the user
        // floated the dock.
        if (!pDock->isFloating() && pDock->height() < m_frame.height() / 2)
            m_frame.resizeDocks({pDock}, {m_frame.height() / 2}, Qt::Vertical);
        Refresh();
    }
    return true;
}

bool CRecordViews::QueryCommand(int nId, CCommandState& state) const
{
    const QDockWidget* pDock = nId == ID_VIEW_EVENTS ? m_pEventDock : nId == ID_VIEW_TRENDS ? m_pTrendDock : nullptr;
    if (pDock == nullptr)
        return false;
    state = CCommandState{true, true, !pDock->isHidden()};
    return true;
}

void CRecordViews::OnLogOpened()
{
    m_view.Log().Flush();
    m_feed.ReadLog(*m_view.LogDocument());
    Refresh();
}

void CRecordViews::OnLogNew()
{
    m_feed.Clear();
    Refresh();
}

void CRecordViews::Refresh()
{
    const std::uint64_t nRevision = m_feed.Tables().Revision();
    if (!m_pEventDock->isHidden() && m_nEventRevision != nRevision)
    {
        m_pEventPanel->Refresh();
        m_nEventRevision = nRevision;
    }
    if (!m_pTrendDock->isHidden() && m_nTrendRevision != nRevision)
    {
        m_pTrendPanel->Refresh();
        m_nTrendRevision = nRevision;
    }
}

bool CRecordViews::ShowFrame(const CEventRow& row)
{
    const long long nLogPosition = row.nLogPosition;
    m_view.Log().Flush();
    QTextDocument* pDocument = m_pLog->document();
    const QTextBlock block = nLogPosition >= 0 && nLogPosition < pDocument->characterCount()
                                 ? pDocument->findBlock(static_cast<int>(nLogPosition))
                                 : QTextBlock();
    CLoggedFrame frame;
    if (nLogPosition < 0 || !block.isValid() ||
        !ReadLoggedFrame(CLogDocument::LogText(block.text()).toStdString(), frame) || frame.abBytes != row.abFrame)
    {
        m_frame.statusBar()->showMessage(QStringLiteral("该报文已不在记录中"), kMessageMs);
        return false;
    }
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    m_pLog->setTextCursor(cursor);
    m_pLog->ensureCursorVisible();
    m_frame.activateWindow();
    return true;
}

} // namespace relvane
