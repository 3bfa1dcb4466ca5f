#include "app/record/RecordViewer.h"

#include "app/OwnSettings.h"
#include "app/record/RecordFiles.h"
#include "app/record/RecordPlot.h"
#include "forms/FormDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace relvane
{
namespace
{

QString FormatName(ComtradeDataFormat eFormat)
{
    switch (eFormat)
    {
    case ComtradeDataFormat::Binary:
        return QStringLiteral("BINARY");
    case ComtradeDataFormat::Binary32:
        return QStringLiteral("BINARY32");
    case ComtradeDataFormat::Float32:
        return QStringLiteral("FLOAT32");
    default:
        return QStringLiteral("ASCII");
    }
}

QString Text(const std::string& str)
{
    return RecordText(str);
}

QString RateText(const CComtradeRecord& record)
{
    QStringList rates;
    for (const CComtradeRate& rate : record.rates)
    {
        if (rate.dSamplesPerSecond > 0.0)
            rates << QString::number(rate.dSamplesPerSecond, 'g', 7) + QStringLiteral(" Hz");
    }
    return rates.isEmpty() ? QStringLiteral("按时间标记") : rates.join(QStringLiteral(", "));
}

} // namespace

CRecordViewer::CRecordViewer(QWidget* pParent) : QWidget(pParent, Qt::Window)
{
    setObjectName(QStringLiteral("recordViewer"));
    setWindowTitle(QStringLiteral("录波查看"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* pOpen = new QPushButton(QStringLiteral("打开…"), this);
    pOpen->setObjectName(QStringLiteral("recordOpen"));
    auto* pZoomIn = new QPushButton(QStringLiteral("放大"), this);
    pZoomIn->setObjectName(QStringLiteral("recordZoomIn"));
    auto* pZoomOut = new QPushButton(QStringLiteral("缩小"), this);
    pZoomOut->setObjectName(QStringLiteral("recordZoomOut"));
    auto* pAll = new QPushButton(QStringLiteral("全部"), this);
    pAll->setObjectName(QStringLiteral("recordShowAll"));
    m_pInfo = new QLabel(this);
    m_pInfo->setObjectName(QStringLiteral("recordInfo"));
    m_pInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pNote = new QLabel(this);
    m_pNote->setObjectName(QStringLiteral("recordNote"));
    m_pNote->setStyleSheet(QStringLiteral("color: #A00000"));
    m_pNote->hide();
    m_pCursor = new QLabel(QStringLiteral("单击波形放置光标; 滚轮缩放, 拖动平移"), this);
    m_pCursor->setObjectName(QStringLiteral("recordCursor"));

    m_pPlot = new CRecordPlot(this);
    m_pScroll = new QScrollArea(this);
    m_pScroll->setWidget(m_pPlot);
    m_pScroll->setWidgetResizable(true);
    m_pScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(pOpen);
    pButtons->addWidget(pZoomIn);
    pButtons->addWidget(pZoomOut);
    pButtons->addWidget(pAll);
    pButtons->addWidget(m_pInfo, 1);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pButtons);
    pLayout->addWidget(m_pNote);
    pLayout->addWidget(m_pScroll, 1);
    pLayout->addWidget(m_pCursor);

    connect(pOpen, &QPushButton::clicked, this, &CRecordViewer::ChooseRecord);
    auto center = [this] { return (m_pPlot->ViewFrom() + m_pPlot->ViewTo()) / 2; };
    connect(pZoomIn, &QPushButton::clicked, this, [this, center] { m_pPlot->ZoomBy(0.5, center()); });
    connect(pZoomOut, &QPushButton::clicked, this, [this, center] { m_pPlot->ZoomBy(2.0, center()); });
    connect(pAll, &QPushButton::clicked, m_pPlot, &CRecordPlot::ShowAll);
    connect(m_pPlot, &CRecordPlot::CursorMoved, this, &CRecordViewer::UpdateCursor);
    resize(1000, 700);
}

bool CRecordViewer::OpenRecord(const QString& strPath, QString* pError)
{
    auto pRecord = std::make_shared<CComtradeRecord>();
    QString strError;
    if (!ReadComtradeFiles(strPath, *pRecord, strError))
    {
        if (pError != nullptr)
            *pError = strError;
        ShowRelvaneMessage(this, strError);
        return false;
    }
    RememberFolder(strPath);
    ShowRecord(pRecord, QFileInfo(strPath).completeBaseName());
    return true;
}

void CRecordViewer::ShowRecord(std::shared_ptr<const CComtradeRecord> pRecord, const QString& strTitle)
{
    setWindowTitle(QStringLiteral("录波查看 - ") + strTitle);
    m_pNote->setText(Text(pRecord->strNote));
    m_pNote->setVisible(!pRecord->strNote.empty());
    m_pPlot->SetRecord(std::move(pRecord));
    m_pInfo->setText(InfoText());
    m_pCursor->setText(QStringLiteral("单击波形放置光标; 滚轮缩放, 拖动平移"));
}

QString CRecordViewer::InfoText() const
{
    const CComtradeRecord* pRecord = m_pPlot->Record();
    if (pRecord == nullptr)
        return {};
    return Text(pRecord->strStation) + QStringLiteral("  ") + Text(pRecord->strDevice) +
           QStringLiteral("  C37.111-") + QString::number(pRecord->nRevision) + QStringLiteral(" ") +
           FormatName(pRecord->eFormat) + QStringLiteral("\n") + QString::number(pRecord->analogs.size()) +
           QStringLiteral(" 个模拟量, ") + QString::number(pRecord->digitals.size()) +
           QStringLiteral(" 个开关量, ") + QString::number(pRecord->SampleCount()) +
           QStringLiteral(" 个采样 (") + RateText(*pRecord) + QStringLiteral(")  起始 ") +
           Text(pRecord->strStart) + QStringLiteral("  触发 ") + Text(pRecord->strTrigger);
}

QString CRecordViewer::CursorText() const
{
    return m_pCursor->text();
}

void CRecordViewer::UpdateCursor()
{
    if (!m_pPlot->HasCursor())
        return;
    m_pCursor->setText(QStringLiteral("光标: ") + m_pPlot->CursorTimeText() +
                       QStringLiteral(" (距触发), 第 ") + QString::number(m_pPlot->CursorSample() + 1) +
                       QStringLiteral(" 个采样"));
}

void CRecordViewer::ChooseRecord()
{
    const QString strPath =
        QFileDialog::getOpenFileName(this, QStringLiteral("录波查看"), LastFolder(), ComtradeFilter());
    if (!strPath.isEmpty())
        OpenRecord(strPath);
}

CRecordViewer* OpenRecordViewer(QWidget* pParent, const QString& strPath)
{
    auto* pViewer = pParent != nullptr ? pParent->findChild<CRecordViewer*>(QStringLiteral("recordViewer"),
                                                                            Qt::FindDirectChildrenOnly)
                                       : nullptr;
    if (pViewer == nullptr)
        pViewer = new CRecordViewer(pParent);
    pViewer->show();
    pViewer->raise();
    pViewer->activateWindow();
    if (strPath.isEmpty())
        pViewer->ChooseRecord();
    else
        pViewer->OpenRecord(strPath);
    return pViewer;
}

} // namespace relvane
