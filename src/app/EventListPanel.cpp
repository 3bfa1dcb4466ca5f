#include "app/EventListPanel.h"

#include "app/OwnSettings.h"
#include "events/RecordCsv.h"
#include "events/RecordTables.h"
#include "forms/FormDialog.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace relvane
{
namespace
{

enum EventColumn : int
{
    COLUMN_NUMBER,
    COLUMN_RELAY_TIME,
    COLUMN_RECEIVED,
    COLUMN_FUN,
    COLUMN_INF,
    COLUMN_NAME,
    COLUMN_STATE,
    COLUMN_SIN,
    COLUMN_FAN,
    COLUMN_RET,
    COLUMN_COT,
    COLUMN_COUNT
};

QVariant NumberOrEmpty(int nValue)
{
    return nValue < 0 ? QVariant(QString()) : QVariant(nValue);
}

CEventListPanel::FileNameHook& FileNameHookSlot()
{
    static CEventListPanel::FileNameHook s_fnHook;
    return s_fnHook;
}

} // namespace

CEventTableModel::CEventTableModel(const CRecordTables& tables, QObject* pParent)
    : QAbstractTableModel(pParent), m_tables(tables)
{
}

int CEventTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_nRows;
}

int CEventTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : COLUMN_COUNT;
}

QVariant CEventTableModel::headerData(int nSection, Qt::Orientation orientation, int nRole) const
{
    if (orientation != Qt::Horizontal || nRole != Qt::DisplayRole)
        return QAbstractTableModel::headerData(nSection, orientation, nRole);
    static const char* const kHeaders[COLUMN_COUNT] = {"序号", "装置时间", "接收时间", "FUN", "INF", "名称",
                                                       "状态", "SIN", "故障序号", "相对时间(ms)", "COT"};
    return nSection >= 0 && nSection < COLUMN_COUNT ? QString::fromUtf8(kHeaders[nSection]) : QVariant();
}

QVariant CEventTableModel::data(const QModelIndex& index, int nRole) const
{
    if (!index.isValid() || index.row() >= m_nRows ||
        static_cast<std::size_t>(index.row()) >= m_tables.Events().size())
        return {};
    const CEventRow& row = m_tables.Events()[static_cast<std::size_t>(index.row())];
    if (nRole == Qt::TextAlignmentRole)
    {
        const bool bText = index.column() == COLUMN_NAME || index.column() == COLUMN_STATE ||
                           index.column() == COLUMN_RELAY_TIME || index.column() == COLUMN_RECEIVED;
        return QVariant::fromValue<int>((bText ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    }
    if (nRole == Qt::ToolTipRole && index.column() == COLUMN_NAME)
        return QString::fromStdString(row.strName);
    if (nRole != Qt::DisplayRole && nRole != Qt::UserRole)
        return {};
    const bool bSortKey = nRole == Qt::UserRole;
    switch (index.column())
    {
    case COLUMN_NUMBER:
        return row.nNumber;
    case COLUMN_RELAY_TIME:
        return QString::fromStdString(row.strRelayTime);
    case COLUMN_RECEIVED:
        return bSortKey ? QVariant(row.dReceived) : QVariant(QString::fromStdString(row.strReceived));
    case COLUMN_FUN:
        return bSortKey ? QVariant(row.nFun) : NumberOrEmpty(row.nFun);
    case COLUMN_INF:
        return bSortKey ? QVariant(row.nInf) : NumberOrEmpty(row.nInf);
    case COLUMN_NAME:
        return QString::fromStdString(row.strName);
    case COLUMN_STATE:
        return QString::fromStdString(row.strState);
    case COLUMN_SIN:
        return bSortKey ? QVariant(row.nSin) : NumberOrEmpty(row.nSin);
    case COLUMN_FAN:
        return bSortKey ? QVariant(row.nFan) : NumberOrEmpty(row.nFan);
    case COLUMN_RET:
        return bSortKey ? QVariant(row.nRet) : NumberOrEmpty(row.nRet);
    case COLUMN_COT:
        return bSortKey ? QVariant(row.nCot) : NumberOrEmpty(row.nCot);
    default:
        return {};
    }
}

void CEventTableModel::Refresh()
{
    const auto& events = m_tables.Events();
    const int nRows = static_cast<int>(events.size());
    const int nFirst = events.empty() ? 0 : events.front().nNumber;
    if (nFirst == m_nFirstNumber && nRows >= m_nRows)
    {
        if (nRows > m_nRows)
        {
            beginInsertRows(QModelIndex(), m_nRows, nRows - 1);
            m_nRows = nRows;
            endInsertRows();
        }
        return;
    }
    beginResetModel();
    m_nRows = nRows;
    m_nFirstNumber = nFirst;
    endResetModel();
}

const CEventRow* CEventTableModel::Event(int nRow) const
{
    if (nRow < 0 || nRow >= m_nRows || static_cast<std::size_t>(nRow) >= m_tables.Events().size())
        return nullptr;
    return &m_tables.Events()[static_cast<std::size_t>(nRow)];
}

void CEventListPanel::SetFileNameHook(FileNameHook fnHook)
{
    FileNameHookSlot() = std::move(fnHook);
}

CEventListPanel::CEventListPanel(const CRecordTables& tables, QWidget* pParent) : QWidget(pParent), m_tables(tables)
{
    m_pModel = new CEventTableModel(tables, this);
    m_pProxy = new QSortFilterProxyModel(this);
    m_pProxy->setSourceModel(m_pModel);
    m_pProxy->setSortRole(Qt::UserRole);
    m_pProxy->setFilterKeyColumn(-1);
    m_pProxy->setFilterCaseSensitivity(Qt::CaseInsensitive);

    auto* pLayout = new QVBoxLayout(this);
    auto* pBar = new QHBoxLayout;
    m_pFilter = new QLineEdit(this);
    m_pFilter->setObjectName(QStringLiteral("eventFilter"));
    m_pFilter->setPlaceholderText(QStringLiteral("筛选(任一列含有)"));
    m_pFilter->setClearButtonEnabled(true);
    m_pCount = new QLabel(this);
    m_pCount->setObjectName(QStringLiteral("eventCount"));
    auto* pExport = new QPushButton(QStringLiteral("导出CSV…"), this);
    pExport->setObjectName(QStringLiteral("eventExport"));
    pBar->addWidget(m_pFilter, 1);
    pBar->addWidget(m_pCount);
    pBar->addWidget(pExport);
    pLayout->addLayout(pBar);

    m_pTable = new QTableView(this);
    m_pTable->setObjectName(QStringLiteral("eventTable"));
    m_pTable->setModel(m_pProxy);
    m_pTable->setSortingEnabled(true);
    m_pTable->sortByColumn(0, Qt::AscendingOrder);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setWordWrap(false);
    m_pTable->verticalHeader()->hide();
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    pLayout->addWidget(m_pTable);

    connect(m_pFilter, &QLineEdit::textChanged, this,
            [this](const QString& strText)
            {
                m_pProxy->setFilterFixedString(strText);
                UpdateCount();
            });
    connect(pExport, &QPushButton::clicked, this, &CEventListPanel::OnExport);
    connect(m_pTable, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index)
            {
                if (const CEventRow* pRow = m_pModel->Event(m_pProxy->mapToSource(index).row()))
                    emit ShowFrame(*pRow);
            });
    UpdateCount();
}

void CEventListPanel::Refresh()
{
    const bool bFirst = m_pModel->rowCount() == 0;
    m_pModel->Refresh();
    if (bFirst && m_pModel->rowCount() > 0)
        m_pTable->resizeColumnsToContents();
    UpdateCount();
}

void CEventListPanel::UpdateCount()
{
    const int nShown = m_pProxy->rowCount();
    const int nAll = m_pModel->rowCount();
    m_pCount->setText(nShown == nAll ? QStringLiteral("%1 条").arg(nAll)
                                     : QStringLiteral("%1 / %2 条").arg(nShown).arg(nAll));
}

bool CEventListPanel::ExportCsv(const QString& strPath)
{
    std::vector<const CEventRow*> rows;
    rows.reserve(static_cast<std::size_t>(m_pProxy->rowCount()));
    for (int i = 0; i < m_pProxy->rowCount(); ++i)
    {
        const int nRow = m_pProxy->mapToSource(m_pProxy->index(i, 0)).row();
        if (nRow >= 0 && static_cast<std::size_t>(nRow) < m_tables.Events().size())
            rows.push_back(&m_tables.Events()[static_cast<std::size_t>(nRow)]);
    }
    std::string strError;
    if (WriteCsvFile(strPath.toStdString(), BuildEventsCsv(rows), strError))
        return true;
    ShowRelvaneMessage(this, QStringLiteral("导出失败: ") + QString::fromStdString(strError));
    return false;
}

void CEventListPanel::OnExport()
{
    QString strPath;
    if (FileNameHookSlot())
        strPath = FileNameHookSlot()(this);
    else
        strPath = QFileDialog::getSaveFileName(this, QStringLiteral("导出事件列表"), LastFolder(),
                                               QStringLiteral("CSV 文件 (*.csv)"));
    if (strPath.isEmpty())
        return;
    if (ExportCsv(strPath))
        RememberFolder(strPath);
}

} // namespace relvane
