#include "app/DisturbanceControls.h"

#include "app/record/RecordViewer.h"
#include "disturbance/DisturbanceUpload.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace relvane
{
namespace
{

constexpr const char* kFolderKey = "disturbance/folder";
constexpr const char* kFormatKey = "disturbance/format";
constexpr std::uint8_t kSofTransmitted = 0x02;

// Our own settings file (~/.config/relvane/relvane.ini).
QSettings OwnSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("relvane"),
                     QStringLiteral("relvane"));
}

} // namespace

QString DisturbanceListText(const CDisturbanceListEntry& entry)
{
    const CRecordTime& t = entry.time;
    return QString::asprintf("%u    %04d-%02d-%02d %02d:%02d:%02d.%03d    ", static_cast<unsigned>(entry.nFan),
                             t.nYear, t.nMonth, t.nDay, t.nHour, t.nMinute, t.nSecond, t.nMicrosecond / 1000) +
           ((entry.nSof & kSofTransmitted) != 0 ? QStringLiteral("已传送") : QStringLiteral("未传送"));
}

int UploadProgressMaximum(int nChannels, int nValuesPerChannel)
{
    return std::max(nChannels * nValuesPerChannel, 1);
}

int UploadProgressValue(int nChannelsDone, int nValues, int nValuesPerChannel)
{
    return nChannelsDone * nValuesPerChannel + (nValues < nValuesPerChannel ? nValues : 0);
}

QString UploadProgressText(int nChannelsDone, int nChannels, int nValues, int nValuesPerChannel)
{
    if (nChannels == 0)
        return QStringLiteral("正在读取录波表…");
    if (nChannelsDone >= nChannels)
        return QStringLiteral("通道 %1/%1, 正在结束传输").arg(nChannels);
    return QStringLiteral("通道 %1/%2, %3/%4 个值")
        .arg(nChannelsDone + 1)
        .arg(nChannels)
        .arg(nValues)
        .arg(nValuesPerChannel);
}

CDisturbanceControls::CDisturbanceControls(CRelvaneView& view, QMainWindow& frame)
    : QObject(&frame), m_view(view), m_frame(frame), m_pUpload(new CDisturbanceUpload(view, this))
{
    connect(m_pUpload, &CDisturbanceUpload::Progress, this, &CDisturbanceControls::OnProgress);
    connect(m_pUpload, &CDisturbanceUpload::Finished, this, &CDisturbanceControls::OnFinished);
}

CDisturbanceControls::~CDisturbanceControls() = default;

bool CDisturbanceControls::OnCommand(int nId)
{
    if (nId != ID_DISTURBANCE_UPLOAD)
        return false;
    if (m_pDialog == nullptr)
        CreateDialog();
    m_pDialog->show();
    m_pDialog->raise();
    m_pDialog->activateWindow();
    if (!m_pUpload->Busy())
        RefreshList();
    return true;
}

bool CDisturbanceControls::QueryCommand(int nId, CCommandState& state) const
{
    if (nId != ID_DISTURBANCE_UPLOAD)
        return false;
    state.bHandled = true;
    state.bEnabled = m_view.Mode() == MODE_103 && m_view.PortOpen();
    state.bChecked = false;
    return true;
}

void CDisturbanceControls::CreateDialog()
{
    m_pDialog = new QDialog(&m_frame);
    m_pDialog->setObjectName(QStringLiteral("disturbanceDialog"));
    m_pDialog->setWindowTitle(QStringLiteral("读取录波"));
    m_pDialog->setModal(false);

    m_pList = new QTreeWidget(m_pDialog);
    m_pList->setObjectName(QStringLiteral("disturbanceList"));
    m_pList->setHeaderLabels({QStringLiteral("装置的录波 (故障序号、时间、是否已传送)")});
    m_pList->setRootIsDecorated(false);
    m_pList->setMinimumWidth(420);

    m_pFolder = new QLineEdit(m_pDialog);
    m_pFolder->setObjectName(QStringLiteral("disturbanceFolder"));
    m_pFolder->setText(OwnSettings().value(QString::fromUtf8(kFolderKey), QDir::homePath()).toString());
    auto* pBrowse = new QPushButton(QStringLiteral("浏览…"), m_pDialog);
    connect(pBrowse, &QPushButton::clicked, this,
            [this]
            {
                const QString strFolder =
                    QFileDialog::getExistingDirectory(m_pDialog, QStringLiteral("录波文件夹"), m_pFolder->text());
                if (!strFolder.isEmpty())
                    m_pFolder->setText(strFolder);
            });
    m_pFormat = new QComboBox(m_pDialog);
    m_pFormat->setObjectName(QStringLiteral("disturbanceFormat"));
    m_pFormat->addItems({QStringLiteral("ASCII"), QStringLiteral("二进制")});
    m_pFormat->setCurrentIndex(OwnSettings().value(QString::fromUtf8(kFormatKey), 0).toInt() == 1 ? 1 : 0);

    m_pProgress = new QProgressBar(m_pDialog);
    m_pProgress->setObjectName(QStringLiteral("disturbanceProgress"));
    m_pProgress->setRange(0, 1);
    m_pProgress->setValue(0);
    m_pStatus = new QLabel(m_pDialog);
    m_pStatus->setObjectName(QStringLiteral("disturbanceStatus"));
    m_pStatus->setWordWrap(true);

    m_pRefresh = new QPushButton(QStringLiteral("刷新列表"), m_pDialog);
    m_pRefresh->setObjectName(QStringLiteral("disturbanceRefresh"));
    m_pStart = new QPushButton(QStringLiteral("读取"), m_pDialog);
    m_pStart->setObjectName(QStringLiteral("disturbanceStart"));
    m_pCancel = new QPushButton(QStringLiteral("取消"), m_pDialog);
    m_pCancel->setObjectName(QStringLiteral("disturbanceCancel"));
    auto* pClose = new QPushButton(QStringLiteral("关闭"), m_pDialog);
    // The record just read, drawn.
    m_pView = new QPushButton(QStringLiteral("查看录波"), m_pDialog);
    m_pView->setObjectName(QStringLiteral("disturbanceView"));
    connect(m_pView, &QPushButton::clicked, this,
            [this] { OpenRecordViewer(&m_frame, QString::fromStdString(m_pUpload->Files().front())); });
    connect(m_pRefresh, &QPushButton::clicked, this, &CDisturbanceControls::RefreshList);
    connect(m_pStart, &QPushButton::clicked, this, &CDisturbanceControls::StartUpload);
    connect(m_pCancel, &QPushButton::clicked, m_pUpload, &CDisturbanceUpload::Cancel);
    connect(pClose, &QPushButton::clicked, m_pDialog, &QDialog::hide);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CDisturbanceControls::UpdateButtons);

    auto* pFolderRow = new QHBoxLayout;
    pFolderRow->addWidget(new QLabel(QStringLiteral("文件夹"), m_pDialog));
    pFolderRow->addWidget(m_pFolder, 1);
    pFolderRow->addWidget(pBrowse);
    pFolderRow->addWidget(new QLabel(QStringLiteral("格式"), m_pDialog));
    pFolderRow->addWidget(m_pFormat);
    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(m_pRefresh);
    pButtons->addStretch(1);
    pButtons->addWidget(m_pStart);
    pButtons->addWidget(m_pCancel);
    pButtons->addWidget(m_pView);
    pButtons->addWidget(pClose);
    auto* pLayout = new QVBoxLayout(m_pDialog);
    pLayout->addWidget(m_pList, 1);
    pLayout->addLayout(pFolderRow);
    pLayout->addWidget(m_pProgress);
    pLayout->addWidget(m_pStatus);
    pLayout->addLayout(pButtons);
    UpdateButtons();
}

void CDisturbanceControls::RefreshList()
{
    std::string strError;
    m_bListing = true;
    if (!m_pUpload->StartList(strError))
    {
        m_bListing = false;
        m_pStatus->setText(QString::fromStdString(strError));
    }
    else
        m_pStatus->setText(QStringLiteral("正在读取录波表…"));
    UpdateButtons();
}

void CDisturbanceControls::StartUpload()
{
    QTreeWidgetItem* pItem = m_pList->currentItem();
    if (pItem == nullptr || m_pUpload->Busy())
        return;
    const auto nFan = static_cast<std::uint16_t>(pItem->data(0, Qt::UserRole).toUInt());
    const QString strFolder = m_pFolder->text().trimmed();
    OwnSettings().setValue(QString::fromUtf8(kFolderKey), strFolder);
    OwnSettings().setValue(QString::fromUtf8(kFormatKey), m_pFormat->currentIndex());
    std::string strError;
    m_bListing = false;
    const auto eFormat = m_pFormat->currentIndex() == 1 ? ComtradeFormat::Binary : ComtradeFormat::Ascii;
    if (!m_pUpload->StartUpload(nFan, strFolder.toStdString(), eFormat, strError))
        m_pStatus->setText(QString::fromStdString(strError));
    UpdateButtons();
}

void CDisturbanceControls::OnProgress(int nChannelsDone, int nChannels, int nValues, int nValuesPerChannel)
{
    if (m_pDialog == nullptr || m_bListing)
        return;
    m_pProgress->setRange(0, UploadProgressMaximum(nChannels, nValuesPerChannel));
    m_pProgress->setValue(UploadProgressValue(nChannelsDone, nValues, nValuesPerChannel));
    m_pStatus->setText(UploadProgressText(nChannelsDone, nChannels, nValues, nValuesPerChannel));
}

void CDisturbanceControls::OnFinished(bool bOk, const QString& strMessage)
{
    if (m_pDialog == nullptr)
        return;
    if (m_bListing)
    {
        m_bListing = false;
        m_pList->clear();
        for (const CDisturbanceListEntry& entry : m_pUpload->List())
        {
            auto* pItem = new QTreeWidgetItem(m_pList, {DisturbanceListText(entry)});
            pItem->setData(0, Qt::UserRole, entry.nFan);
        }
        if (m_pList->topLevelItemCount() > 0)
            m_pList->setCurrentItem(m_pList->topLevelItem(m_pList->topLevelItemCount() - 1));
        m_pStatus->setText(bOk ? (m_pUpload->List().empty() ? QStringLiteral("装置没有录波。")
                                                             : QStringLiteral("请选择一个录波, 然后按“读取”。"))
                               : strMessage);
    }
    else
    {
        if (bOk)
            m_pProgress->setValue(m_pProgress->maximum());
        QString strText = strMessage;
        for (const std::string& strNote : m_pUpload->Transfer().Notes())
            strText += QStringLiteral("\n") + QString::fromStdString(strNote);
        m_pStatus->setText(strText);
    }
    UpdateButtons();
}

void CDisturbanceControls::UpdateButtons()
{
    if (m_pDialog == nullptr)
        return;
    const bool bBusy = m_pUpload->Busy();
    m_pRefresh->setEnabled(!bBusy);
    m_pStart->setEnabled(!bBusy && m_pList->currentItem() != nullptr);
    m_pCancel->setEnabled(bBusy);
    m_pView->setEnabled(!bBusy && !m_pUpload->Files().empty());
}

} // namespace relvane
