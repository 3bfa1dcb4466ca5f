#include "app/RecorderControls.h"

#include "app/OwnSettings.h"
#include "forms/FormDialog.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"
#include "session/SessionStatistics.h"

#include <QDockWidget>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace relvane
{
namespace
{

constexpr int kRefreshMs = 500;
const char* const kStampKey = "log/timeStamps";

CRecorderControls::FileNameHook& FileNameHookSlot()
{
    static CRecorderControls::FileNameHook s_fnHook;
    return s_fnHook;
}

// NAME from NAME, NAME.txt or NAME.pcapng: both files are written beside each other.
QString CaptureBase(QString strPath)
{
    for (const QString& strSuffix : {QStringLiteral(".pcapng"), QStringLiteral(".txt")})
    {
        if (strPath.endsWith(strSuffix, Qt::CaseInsensitive))
            strPath.chop(strSuffix.size());
    }
    return strPath;
}

} // namespace

void CRecorderControls::SetFileNameHook(FileNameHook fnHook)
{
    FileNameHookSlot() = std::move(fnHook);
}

CRecorderControls::CRecorderControls(CRelvaneView& view, QMainWindow& frame)
    : QObject(&frame), m_view(view), m_frame(frame)
{
    m_view.Recorder().Stamp().SetForm(OwnSettings().value(QString::fromUtf8(kStampKey), 0).toInt());

    m_pDock = new QDockWidget(QStringLiteral("统计信息"), &frame);
    m_pDock->setObjectName(QStringLiteral("statisticsPanel"));
    auto* pBody = new QWidget(m_pDock);
    auto* pLayout = new QVBoxLayout(pBody);
    // A table rather than text: columns line up whatever the characters, and counts are
    // right-aligned beside the names of what they count.
    m_pTable = new QTableWidget(0, 4, pBody);
    m_pTable->setObjectName(QStringLiteral("statisticsTable"));
    m_pTable->setHorizontalHeaderLabels(
        {QStringLiteral("报文"), QStringLiteral("发送"), QStringLiteral("接收"), QStringLiteral("名称")});
    m_pTable->verticalHeader()->hide();
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setWordWrap(false);
    m_pTable->setTextElideMode(Qt::ElideRight);
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pTable->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
    m_pTable->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pSummary = new QLabel(pBody);
    m_pSummary->setObjectName(QStringLiteral("statisticsSummary"));
    m_pSummary->setWordWrap(true);
    m_pSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* pReset = new QPushButton(QStringLiteral("重置"), pBody);
    pReset->setObjectName(QStringLiteral("statisticsReset"));
    pLayout->addWidget(m_pTable);
    pLayout->addWidget(m_pSummary);
    pLayout->addWidget(pReset);
    m_pDock->setWidget(pBody);
    frame.addDockWidget(Qt::RightDockWidgetArea, m_pDock);
    m_pDock->hide();
    connect(pReset, &QPushButton::clicked, this,
            [this]
            {
                m_view.Recorder().Statistics().Reset();
                RefreshStatistics();
            });
    m_pRefreshTimer = new QTimer(this);
    m_pRefreshTimer->setInterval(kRefreshMs);
    connect(m_pRefreshTimer, &QTimer::timeout, this, &CRecorderControls::RefreshStatistics);
    connect(m_pDock, &QDockWidget::visibilityChanged, this,
            [this](bool bVisible)
            {
                if (bVisible)
                {
                    RefreshStatistics();
                    FitPanel();
                    m_pRefreshTimer->start();
                }
                else
                    m_pRefreshTimer->stop();
            });

    m_pCapturePane = new QLabel(frame.statusBar());
    m_pCapturePane->setObjectName(QStringLiteral("capturePane"));
    m_pCapturePane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame.statusBar()->addWidget(m_pCapturePane);
    m_pCapturePane->hide();
}

bool CRecorderControls::OnCommand(int nId)
{
    switch (nId)
    {
    case ID_CAPTURE_START:
        StartCapture();
        return true;
    case ID_CAPTURE_STOP:
        m_view.Recorder().StopCapture();
        UpdateStatus();
        return true;
    case ID_VIEW_STATISTICS:
        m_pDock->setVisible(m_pDock->isHidden());
        return true;
    default:
        return false;
    }
}

bool CRecorderControls::QueryCommand(int nId, CCommandState& state) const
{
    switch (nId)
    {
    case ID_CAPTURE_START:
        state = CCommandState{true, !m_view.Recorder().IsCapturing(), false};
        return true;
    case ID_CAPTURE_STOP:
        state = CCommandState{true, m_view.Recorder().IsCapturing(), false};
        return true;
    case ID_VIEW_STATISTICS:
        state = CCommandState{true, true, !m_pDock->isHidden()};
        return true;
    default:
        return false;
    }
}

void CRecorderControls::OnSessionCommand(int nId)
{
    if (nId == ID_STAMP_TIME_OF_DAY || nId == ID_STAMP_SINCE_CONNECT || nId == ID_STAMP_SINCE_PREVIOUS)
        OwnSettings().setValue(QString::fromUtf8(kStampKey), m_view.Recorder().Stamp().Form());
}

void CRecorderControls::StartCapture()
{
    QString strPath;
    if (FileNameHookSlot())
        strPath = FileNameHookSlot()(&m_frame);
    else
        strPath = QFileDialog::getSaveFileName(&m_frame, QStringLiteral("捕获到文件"), LastFolder(),
                                               QStringLiteral("捕获文件 (*.pcapng *.txt)"));
    if (strPath.isEmpty())
        return;
    std::string strError;
    if (!m_view.Recorder().StartCapture(CaptureBase(strPath).toStdString(), strError))
        ShowRelvaneMessage(&m_frame, QStringLiteral("无法捕获到文件: ") + QString::fromStdString(strError));
    else
        RememberFolder(strPath);
    UpdateStatus();
}

void CRecorderControls::UpdateStatus()
{
    const QString strStatus = QString::fromStdString(m_view.Recorder().CaptureStatus());
    if (m_pCapturePane->text() != strStatus)
        m_pCapturePane->setText(strStatus);
    m_pCapturePane->setVisible(!strStatus.isEmpty());
}

void CRecorderControls::RefreshStatistics()
{
    const CSessionStatistics& statistics = m_view.Recorder().Statistics();
    std::vector<CSessionStatistics::CFrameRow> rows = statistics.FrameRows();
    CSessionStatistics::CFrameRow bytes;
    bytes.strKey = "字节";
    bytes.count.nSent = statistics.BytesSent();
    bytes.count.nReceived = statistics.BytesReceived();
    rows.push_back(bytes);

    m_pTable->setRowCount(static_cast<int>(rows.size()));
    auto setCell = [this](int nRow, int nColumn, const QString& strText, Qt::Alignment alignment)
    {
        QTableWidgetItem* pItem = m_pTable->item(nRow, nColumn);
        if (pItem == nullptr)
        {
            pItem = new QTableWidgetItem;
            pItem->setTextAlignment(alignment | Qt::AlignVCenter);
            m_pTable->setItem(nRow, nColumn, pItem);
        }
        if (pItem->text() != strText)
        {
            pItem->setText(strText);
            pItem->setToolTip(nColumn == 3 ? strText : QString());
        }
    };
    for (int nRow = 0; nRow < static_cast<int>(rows.size()); ++nRow)
    {
        const CSessionStatistics::CFrameRow& row = rows[static_cast<std::size_t>(nRow)];
        setCell(nRow, 0, QString::fromStdString(row.strKey), Qt::AlignLeft);
        setCell(nRow, 1, QString::number(row.count.nSent), Qt::AlignRight);
        setCell(nRow, 2, QString::number(row.count.nReceived), Qt::AlignRight);
        setCell(nRow, 3, QString::fromStdString(row.strName), Qt::AlignLeft);
    }

    // The lines under the table, as the runner prints them.
    const QString strTable = QString::fromStdString(statistics.Table());
    QStringList lines = strTable.split(u'\n', Qt::SkipEmptyParts);
    const QString strSummary = lines.mid(lines.size() - 2).join(u'\n');
    if (m_pSummary->text() != strSummary)
        m_pSummary->setText(strSummary);
}

void CRecorderControls::FitPanel()
{
    // Key, both counts with room for large numbers, and a start of the names.
    const QFontMetrics metrics(m_pTable->font());
    int nWidth = metrics.horizontalAdvance(QStringLiteral("链路功能码 15")) +
                 2 * metrics.horizontalAdvance(QStringLiteral("00000000")) +
                 metrics.horizontalAdvance(QStringLiteral("召唤二级用户数据")) + 60;
    nWidth = std::max(nWidth, m_pDock->minimumSizeHint().width());
    m_pTable->setMinimumWidth(std::min(nWidth, 480));
    if (m_pDock->width() < nWidth && !m_pDock->isFloating())
        m_frame.resizeDocks({m_pDock}, {nWidth}, Qt::Horizontal);
}

} // namespace relvane
