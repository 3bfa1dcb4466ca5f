#include "app/MonitorWindow.h"

#include "app/OwnSettings.h"
#include "common/WholeFile.h"
#include "monitor/LineMonitor.h"
#include "rtf/RtfText.h"
#include "session/LogDocument.h"
#include "transport/SerialChannel.h"
#include "transport/SerialPortMap.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace relvane
{
namespace
{

constexpr int kRefreshMs = 500;
// The window's log empties itself at this many entries, as the workbench's line limit does; the
// capture keeps every frame.
constexpr int kLogLimit = 20000;

CMonitorWindow::FileNameHook& FileNameHookSlot()
{
    static CMonitorWindow::FileNameHook s_fnHook;
    return s_fnHook;
}

QComboBox* PortBox(const QString& strName, const std::vector<std::string>& astrPorts)
{
    auto* pBox = new QComboBox;
    pBox->setObjectName(strName);
    pBox->setEditable(true);
    for (const std::string& strPort : astrPorts)
        pBox->addItem(QString::fromStdString(strPort));
    return pBox;
}

} // namespace

void CMonitorWindow::SetFileNameHook(FileNameHook fnHook)
{
    FileNameHookSlot() = std::move(fnHook);
}

CMonitorWindow::CMonitorWindow(QWidget* pParent)
    : QWidget(pParent, Qt::Window), m_pMonitor(std::make_unique<CLineMonitor>(std::make_unique<CSerialChannel>(), std::make_unique<CSerialChannel>()))
{
    setObjectName(QStringLiteral("monitorWindow"));
    setWindowTitle(QStringLiteral("线路监视"));
    m_pMonitor->SetLogLimit(kLogLimit);

    m_pProtocol = new QComboBox;
    m_pProtocol->setObjectName(QStringLiteral("protocol"));
    m_pProtocol->addItems({QStringLiteral("94规约"), QStringLiteral("103规约")});
    m_pProtocol->setCurrentIndex(MONITOR_103);
    m_pWiring = new QComboBox;
    m_pWiring->setObjectName(QStringLiteral("wiring"));
    m_pWiring->addItems({QStringLiteral("两个端口(主站发送、装置发送)"), QStringLiteral("一个端口(共用总线)")});
    const std::vector<std::string> astrPorts = ListAvailablePorts();
    m_pMaster = PortBox(QStringLiteral("masterPort"), astrPorts);
    m_pRelay = PortBox(QStringLiteral("relayPort"), astrPorts);
    if (m_pRelay->count() > 1)
        m_pRelay->setCurrentIndex(1);
    m_pBus = PortBox(QStringLiteral("busPort"), astrPorts);
    m_pBaud = new QComboBox;
    m_pBaud->setObjectName(QStringLiteral("baud"));
    m_pBaud->setEditable(true);
    m_pBaud->addItems({QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"),
                       QStringLiteral("19200"), QStringLiteral("38400"), QStringLiteral("57600"),
                       QStringLiteral("115200")});
    m_pBaud->setCurrentText(QStringLiteral("9600"));
    m_pParity = new QComboBox;
    m_pParity->setObjectName(QStringLiteral("parity"));
    m_pParity->addItems({QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even"), QStringLiteral("Mark"),
                         QStringLiteral("Space")});

    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("规约:"), m_pProtocol);
    pForm->addRow(QStringLiteral("接线:"), m_pWiring);
    pForm->addRow(QStringLiteral("主站发送:"), m_pMaster);
    pForm->addRow(QStringLiteral("装置发送:"), m_pRelay);
    pForm->addRow(QStringLiteral("总线:"), m_pBus);
    pForm->addRow(QStringLiteral("波特率:"), m_pBaud);
    pForm->addRow(QStringLiteral("校验位:"), m_pParity);

    auto Button = [this](const QString& strText, const QString& strName, void (CMonitorWindow::*pfnAction)())
    {
        auto* pButton = new QPushButton(strText);
        pButton->setObjectName(strName);
        connect(pButton, &QPushButton::clicked, this, pfnAction);
        return pButton;
    };
    m_pStart = Button(QStringLiteral("开始监视"), QStringLiteral("start"), &CMonitorWindow::OnStart);
    m_pStop = Button(QStringLiteral("停止监视"), QStringLiteral("stop"), &CMonitorWindow::OnStop);
    m_pCapture = Button(QStringLiteral("捕获到文件…"), QStringLiteral("capture"), &CMonitorWindow::OnCapture);
    m_pSave = Button(QStringLiteral("保存日志…"), QStringLiteral("save"), &CMonitorWindow::OnSave);
    auto* pButtons = new QHBoxLayout;
    for (QPushButton* pButton : {m_pStart, m_pStop, m_pCapture, m_pSave})
        pButtons->addWidget(pButton);
    pButtons->addStretch();

    m_pLog = new QTextEdit;
    m_pLog->setObjectName(QStringLiteral("monitorLog"));
    m_pLog->setReadOnly(true);
    m_pLog->setDocument(m_pMonitor->Log().Document());
    m_pStatistics = new QPlainTextEdit;
    m_pStatistics->setObjectName(QStringLiteral("monitorStatistics"));
    m_pStatistics->setReadOnly(true);
    m_pStatistics->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* pSplitter = new QSplitter(Qt::Vertical);
    pSplitter->addWidget(m_pLog);
    pSplitter->addWidget(m_pStatistics);
    pSplitter->setStretchFactor(0, 4);
    pSplitter->setStretchFactor(1, 1);
    m_pStatus = new QLabel;
    m_pStatus->setObjectName(QStringLiteral("monitorStatus"));

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addLayout(pButtons);
    pLayout->addWidget(pSplitter, 1);
    pLayout->addWidget(m_pStatus);
    resize(760, 620);

    connect(m_pWiring, &QComboBox::currentIndexChanged, this, [this] { UpdateControls(); });
    connect(&m_pMonitor->Log(), &CLogDocument::Appended, this,
            [this] { m_pLog->verticalScrollBar()->setValue(m_pLog->verticalScrollBar()->maximum()); });
    connect(m_pMonitor.get(), &CLineMonitor::LineGone, m_pStatus, &QLabel::setText);
    connect(m_pMonitor.get(), &CLineMonitor::CaptureFailed, this,
            [this](const QString& strMessage)
            {
                m_pStatus->setText(strMessage);
                UpdateControls();
            });
    m_pRefresh = new QTimer(this);
    m_pRefresh->setInterval(kRefreshMs);
    connect(m_pRefresh, &QTimer::timeout, this, &CMonitorWindow::RefreshStatistics);
    m_pRefresh->start();
    UpdateControls();
    RefreshStatistics();
}

CMonitorWindow::~CMonitorWindow()
{
    // The editor shows the monitor's document: it lets go of it before the monitor goes.
    m_pLog->setDocument(nullptr);
}

CMonitorFields CMonitorWindow::Fields() const
{
    CMonitorFields fields;
    fields.nProtocol = m_pProtocol->currentIndex() == 0 ? MONITOR_94 : MONITOR_103;
    fields.bBus = m_pWiring->currentIndex() == 1;
    fields.strMaster = m_pMaster->currentText().trimmed().toStdString();
    fields.strRelay = m_pRelay->currentText().trimmed().toStdString();
    fields.strBus = m_pBus->currentText().trimmed().toStdString();
    fields.strBaud = m_pBaud->currentText().trimmed().toStdString();
    fields.strParity = m_pParity->currentText().toStdString();
    return fields;
}

void CMonitorWindow::OnStart()
{
    CMonitorSettings settings;
    std::string strError;
    if (!BuildMonitorSettings(Fields(), settings, strError) || !m_pMonitor->Start(settings, strError))
        m_pStatus->setText(QString::fromStdString(strError));
    else
        m_pStatus->setText(QStringLiteral("正在监视"));
    UpdateControls();
}

void CMonitorWindow::OnStop()
{
    m_pMonitor->Stop();
    m_pStatus->setText(QStringLiteral("已停止监视"));
    UpdateControls();
    RefreshStatistics();
}

void CMonitorWindow::OnCapture()
{
    if (m_pMonitor->IsCapturing())
    {
        m_pMonitor->StopCapture();
        UpdateControls();
        return;
    }
    QString strPath = AskFileName(QStringLiteral("捕获到文件"), QStringLiteral("pcapng (*.pcapng);;文本 (*.txt)"));
    if (strPath.isEmpty())
        return;
    for (const QString& strSuffix : {QStringLiteral(".pcapng"), QStringLiteral(".txt")})
    {
        if (strPath.endsWith(strSuffix, Qt::CaseInsensitive))
            strPath.chop(strSuffix.size());
    }
    std::string strError;
    if (!m_pMonitor->StartCapture(strPath.toStdString(), strError))
        m_pStatus->setText(QString::fromStdString(strError));
    UpdateControls();
}

void CMonitorWindow::OnSave()
{
    const QString strPath = AskFileName(QStringLiteral("保存日志"), QStringLiteral("RTF(*.RTF)"));
    if (strPath.isEmpty())
        return;
    m_pMonitor->Log().Flush();
    const QByteArray abRtf = BuildRtf(*m_pMonitor->Log().Document());
    int nError = 0;
    if (!WriteWholeFile(strPath.toStdString(), abRtf.constData(), static_cast<std::size_t>(abRtf.size()), nError))
        m_pStatus->setText(QStringLiteral("无法保存: ") + strPath);
    else
        m_pStatus->setText(QStringLiteral("已保存: ") + strPath);
}

void CMonitorWindow::closeEvent(QCloseEvent* pEvent)
{
    // Closing ends the listening: the ports go back to whoever needs them.
    m_pMonitor->Stop();
    m_pMonitor->StopCapture();
    UpdateControls();
    QWidget::closeEvent(pEvent);
}

void CMonitorWindow::UpdateControls()
{
    const bool bRunning = m_pMonitor->IsRunning();
    const bool bBus = m_pWiring->currentIndex() == 1;
    for (QWidget* pWidget : {static_cast<QWidget*>(m_pProtocol), static_cast<QWidget*>(m_pWiring),
                             static_cast<QWidget*>(m_pBaud), static_cast<QWidget*>(m_pParity)})
        pWidget->setEnabled(!bRunning);
    m_pMaster->setEnabled(!bRunning && !bBus);
    m_pRelay->setEnabled(!bRunning && !bBus);
    m_pBus->setEnabled(!bRunning && bBus);
    m_pStart->setEnabled(!bRunning);
    m_pStop->setEnabled(bRunning);
    m_pCapture->setText(m_pMonitor->IsCapturing() ? QStringLiteral("停止捕获") : QStringLiteral("捕获到文件…"));
}

void CMonitorWindow::RefreshStatistics()
{
    const QString strTable = QString::fromStdString(m_pMonitor->StatisticsTable());
    if (m_pStatistics->toPlainText() != strTable)
        m_pStatistics->setPlainText(strTable);
}

QString CMonitorWindow::AskFileName(const QString& strTitle, const QString& strFilter)
{
    if (FileNameHookSlot())
        return FileNameHookSlot()(strTitle);
    return QFileDialog::getSaveFileName(this, strTitle, LastFolder(), strFilter);
}

} // namespace relvane
