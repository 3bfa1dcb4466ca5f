#include "app/TrendPanel.h"

#include "app/OwnSettings.h"
#include "app/TrendPlot.h"
#include "events/RecordCsv.h"
#include "events/RecordTables.h"
#include "forms/FormDialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QVBoxLayout>
#include <set>

namespace relvane
{
namespace
{

const char* const kHoldAllKey = "trends/holdAll";
const char* const kMinutesKey = "trends/holdMinutes";
constexpr int kMaxMinutes = 7 * 24 * 60;
constexpr int kKeyRole = Qt::UserRole;

CTrendPanel::FileNameHook& FileNameHookSlot()
{
    static CTrendPanel::FileNameHook s_fnHook;
    return s_fnHook;
}

} // namespace

void CTrendPanel::SetFileNameHook(FileNameHook fnHook)
{
    FileNameHookSlot() = std::move(fnHook);
}

CTrendPanel::CTrendPanel(const CRecordTables& tables, QWidget* pParent) : QWidget(pParent), m_tables(tables)
{
    auto* pLayout = new QVBoxLayout(this);
    auto* pBar = new QHBoxLayout;
    m_pHoldAll = new QCheckBox(QStringLiteral("显示全部"), this);
    m_pHoldAll->setObjectName(QStringLiteral("trendHoldAll"));
    m_pMinutes = new QSpinBox(this);
    m_pMinutes->setObjectName(QStringLiteral("trendMinutes"));
    m_pMinutes->setRange(1, kMaxMinutes);
    m_pMinutes->setPrefix(QStringLiteral("最近 "));
    m_pMinutes->setSuffix(QStringLiteral(" 分钟"));
    m_pHoldAll->setChecked(OwnSettings().value(QString::fromUtf8(kHoldAllKey), false).toBool());
    m_pMinutes->setValue(
        std::clamp(OwnSettings().value(QString::fromUtf8(kMinutesKey), kDefaultMinutes).toInt(), 1, kMaxMinutes));
    m_pMinutes->setEnabled(!m_pHoldAll->isChecked());
    m_pCount = new QLabel(this);
    m_pCount->setObjectName(QStringLiteral("trendCount"));
    auto* pExport = new QPushButton(QStringLiteral("导出CSV…"), this);
    pExport->setObjectName(QStringLiteral("trendExport"));
    pBar->addWidget(m_pMinutes);
    pBar->addWidget(m_pHoldAll);
    pBar->addStretch(1);
    pBar->addWidget(m_pCount);
    pBar->addWidget(pExport);
    pLayout->addLayout(pBar);

    auto* pSplitter = new QSplitter(Qt::Horizontal, this);
    m_pList = new QListWidget(pSplitter);
    m_pList->setObjectName(QStringLiteral("trendSeries"));
    m_pPlot = new CTrendPlot(tables, pSplitter);
    pSplitter->addWidget(m_pList);
    pSplitter->addWidget(m_pPlot);
    pSplitter->setStretchFactor(1, 1);
    pSplitter->setSizes({180, 520});
    pLayout->addWidget(pSplitter, 1);
    m_pReadout = new QLabel(this);
    m_pReadout->setObjectName(QStringLiteral("trendReadout"));
    m_pReadout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pReadout->setMinimumHeight(fontMetrics().height());
    pLayout->addWidget(m_pReadout);

    connect(m_pList, &QListWidget::itemChanged, this, [this](QListWidgetItem*) { UpdatePlot(); });
    connect(m_pHoldAll, &QCheckBox::toggled, this,
            [this](bool bAll)
            {
                m_pMinutes->setEnabled(!bAll);
                StoreHold();
                UpdatePlot();
            });
    connect(m_pMinutes, &QSpinBox::valueChanged, this,
            [this](int)
            {
                StoreHold();
                UpdatePlot();
            });
    connect(pExport, &QPushButton::clicked, this, &CTrendPanel::OnExport);
    connect(m_pPlot, &CTrendPlot::Readout, this,
            [this](const QString& strText) { m_pReadout->setText(QString(strText).replace(u'\n', QStringLiteral("    "))); });
}

void CTrendPanel::StoreHold()
{
    OwnSettings().setValue(QString::fromUtf8(kHoldAllKey), m_pHoldAll->isChecked());
    OwnSettings().setValue(QString::fromUtf8(kMinutesKey), m_pMinutes->value());
}

void CTrendPanel::Refresh()
{
    const auto& series = m_tables.Series();
    // Tables replaced (a log opened, a new session): the list starts again.
    bool bSame = m_pList->count() <= static_cast<int>(series.size());
    for (int i = 0; bSame && i < m_pList->count(); ++i)
        bSame = m_pList->item(i)->data(kKeyRole).toString().toStdString() == series[static_cast<std::size_t>(i)].strKey;
    const QSignalBlocker blocker(m_pList);
    if (!bSame)
        m_pList->clear();
    for (std::size_t i = static_cast<std::size_t>(m_pList->count()); i < series.size(); ++i)
    {
        auto* pItem = new QListWidgetItem(QString::fromStdString(series[i].strName), m_pList);
        pItem->setData(kKeyRole, QString::fromStdString(series[i].strKey));
        pItem->setFlags(pItem->flags() | Qt::ItemIsUserCheckable);
        pItem->setCheckState(Qt::Checked);
        pItem->setForeground(CTrendPlot::SeriesColour(i));
    }
    m_pCount->setText(QStringLiteral("%1 个测量值, %2 点").arg(series.size()).arg(m_tables.PointCount()));
    UpdatePlot();
}

std::vector<std::string> CTrendPanel::ShownKeys() const
{
    std::vector<std::string> keys;
    for (int i = 0; i < m_pList->count(); ++i)
    {
        if (m_pList->item(i)->checkState() == Qt::Checked)
            keys.push_back(m_pList->item(i)->data(kKeyRole).toString().toStdString());
    }
    return keys;
}

double CTrendPanel::ShownFrom() const
{
    // Minutes mean something only where times are seconds.
    if (m_pHoldAll->isChecked() || m_tables.TimeBase() == TIME_ORDER)
        return -1e300;
    double dLatest = -1e300;
    for (const CMeasurandSeries& series : m_tables.Series())
    {
        if (!series.points.empty())
            dLatest = std::max(dLatest, series.points.back().dTime);
    }
    return dLatest - 60.0 * m_pMinutes->value();
}

void CTrendPanel::UpdatePlot()
{
    const std::vector<std::string> keys = ShownKeys();
    m_pPlot->SetShown(std::set<std::string>(keys.begin(), keys.end()), ShownFrom());
}

bool CTrendPanel::ExportCsv(const QString& strPath)
{
    const std::vector<std::string> keys = ShownKeys();
    std::string strError;
    if (!keys.empty() &&
        WriteCsvFile(strPath.toStdString(), BuildMeasurandsCsv(m_tables, keys, ShownFrom()), strError))
        return true;
    ShowRelvaneMessage(this, keys.empty() ? QStringLiteral("未选择测量值")
                                          : QStringLiteral("导出失败: ") + QString::fromStdString(strError));
    return false;
}

void CTrendPanel::OnExport()
{
    QString strPath;
    if (FileNameHookSlot())
        strPath = FileNameHookSlot()(this);
    else
        strPath = QFileDialog::getSaveFileName(this, QStringLiteral("导出测量值"), LastFolder(),
                                               QStringLiteral("CSV 文件 (*.csv)"));
    if (strPath.isEmpty())
        return;
    if (ExportCsv(strPath))
        RememberFolder(strPath);
}

} // namespace relvane
