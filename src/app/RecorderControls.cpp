#include "app/RecorderControls.h"

#include "forms/FormDialog.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"

#include <QDockWidget>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

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

// Our own settings file (~/.config/relvane/relvane.ini).
QSettings OwnSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("relvane"),
                     QStringLiteral("relvane"));
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
    m_pTable = new QPlainTextEdit(pBody);
    m_pTable->setReadOnly(true);
    m_pTable->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* pReset = new QPushButton(QStringLiteral("重置"), pBody);
    pReset->setObjectName(QStringLiteral("statisticsReset"));
    pLayout->addWidget(m_pTable);
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
        strPath = QFileDialog::getSaveFileName(&m_frame, QStringLiteral("捕获到文件"), QString(),
                                               QStringLiteral("捕获文件 (*.pcapng *.txt)"));
    if (strPath.isEmpty())
        return;
    std::string strError;
    if (!m_view.Recorder().StartCapture(CaptureBase(strPath).toStdString(), strError))
        ShowRelvaneMessage(&m_frame, QStringLiteral("无法捕获到文件: ") + QString::fromStdString(strError));
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
    const QString strTable = QString::fromStdString(m_view.Recorder().Statistics().Table());
    if (m_pTable->toPlainText() != strTable)
        m_pTable->setPlainText(strTable);
}

} // namespace relvane
