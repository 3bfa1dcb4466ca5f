#include "app/TestPlanDialog.h"

#include "app/OwnSettings.h"
#include "app/TestPlanForm.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"
#include "testplan/PlanReport.h"
#include "testplan/PlanUserInterface.h"
#include "transport/ChannelTime.h"
#include "testplan/TestPlans.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace relvane
{
namespace
{

enum VerdictColumn : int
{
    COL_ID,
    COL_TITLE,
    COL_VERDICT,
    COL_REASON,
    COL_FRAMES,
    COL_COUNT,
};

QString Text(const std::string& str)
{
    return QString::fromStdString(str);
}

} // namespace

CTestPlanDialog::CTestPlanDialog(CRelvaneView& view, CPlanUserInterface& ui,
                                 std::function<void(int)> fnSwitchMode,
                                 std::function<void(long long)> fnShowLog, QWidget* pParent)
    : QDialog(pParent), m_view(view), m_runner(view, ui), m_fnSwitchMode(std::move(fnSwitchMode)),
      m_fnShowLog(std::move(fnShowLog))
{
    setWindowTitle(QStringLiteral("测试计划"));
    setModal(false);

    m_pPlanBox = new QComboBox(this);
    for (const CTestPlan& plan : TestPlans())
        m_pPlanBox->addItem(Text(plan.strTitle), Text(plan.strId));
    const int nShown = m_pPlanBox->findData(Text(PlanIdForMode(m_view.Mode())));
    m_pPlanBox->setCurrentIndex(std::max(nShown, 0));

    m_pCases = new QTreeWidget(this);
    m_pCases->setHeaderHidden(true);

    auto* pOptionsPage = new QWidget(this);
    auto* pOptionsForm = new QFormLayout(pOptionsPage);
    m_pOptionsForm = pOptionsForm;
    for (const COptionFieldText& field : OptionFieldTexts(LoadOwnDeviceOptions()))
    {
        QWidget* pEditor = nullptr;
        if (field.bSwitch)
            pEditor = new QCheckBox(pOptionsPage);
        else
            pEditor = new QLineEdit(pOptionsPage);
        pOptionsForm->addRow(Text(field.strLabel), pEditor);
        m_optionEditors.push_back(pEditor);
    }
    auto* pOptionsScroll = new QScrollArea(this);
    pOptionsScroll->setWidget(pOptionsPage);
    pOptionsScroll->setWidgetResizable(true);

    m_pVerdicts = new QTableWidget(0, COL_COUNT, this);
    m_pVerdicts->setHorizontalHeaderLabels({QStringLiteral("编号"), QStringLiteral("名称"),
                                            QStringLiteral("结论"), QStringLiteral("原因"),
                                            QStringLiteral("证据帧")});
    m_pVerdicts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pVerdicts->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pVerdicts->horizontalHeader()->setStretchLastSection(true);
    m_pVerdicts->verticalHeader()->setVisible(false);
    // Long names and reasons wrap in their cells (and show whole in tooltips).
    m_pVerdicts->setWordWrap(true);
    m_pVerdicts->setColumnWidth(COL_TITLE, 240);
    m_pVerdicts->setColumnWidth(COL_REASON, 360);

    m_pStart = new QPushButton(QStringLiteral("开始"), this);
    m_pStop = new QPushButton(QStringLiteral("停止"), this);
    m_pExport = new QPushButton(QStringLiteral("导出报告…"), this);
    auto* pClose = new QPushButton(QStringLiteral("关闭"), this);
    m_pProgress = new QProgressBar(this);
    m_pStatus = new QLabel(this);
    m_pStatus->setWordWrap(true);
    m_pSummary = new QLabel(this);

    auto* pTop = new QSplitter(Qt::Horizontal, this);
    pTop->addWidget(m_pCases);
    pTop->addWidget(pOptionsScroll);
    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(m_pStart);
    pButtons->addWidget(m_pStop);
    pButtons->addWidget(m_pProgress, 1);
    pButtons->addWidget(m_pExport);
    pButtons->addWidget(pClose);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pPlanBox);
    pLayout->addWidget(pTop, 1);
    pLayout->addLayout(pButtons);
    pLayout->addWidget(m_pStatus);
    pLayout->addWidget(m_pSummary);
    pLayout->addWidget(m_pVerdicts, 1);
    resize(900, 640);

    connect(m_pPlanBox, &QComboBox::currentIndexChanged, this,
            [this]
            {
                FillCases();
                ShowOptionsOfPlan();
            });
    connect(m_pExport, &QPushButton::clicked, this, &CTestPlanDialog::OnExport);
    connect(m_pStart, &QPushButton::clicked, this, &CTestPlanDialog::OnStart);
    connect(m_pStop, &QPushButton::clicked, this, &CTestPlanDialog::OnStop);
    connect(pClose, &QPushButton::clicked, this, &QDialog::close);
    connect(m_pVerdicts, &QTableWidget::cellDoubleClicked, this,
            [this](int nRow, int) { OnVerdictActivated(nRow); });
    connect(&m_runner, &CTestPlanRunner::CaseStarted, this,
            [this](int nPosition, int nCount, const QString& strId)
            { m_pStatus->setText(QStringLiteral("%1/%2 %3").arg(nPosition + 1).arg(nCount).arg(strId)); });
    connect(&m_runner, &CTestPlanRunner::CaseFinished, this,
            [this](int nPosition, int nCount, const QString&) { OnCaseFinished(nPosition, nCount); });
    connect(&m_runner, &CTestPlanRunner::Finished, this, [this] { SetRunning(false); });

    FillCases();
    FillOptions();
    ShowOptionsOfPlan();
    SetRunning(false);
}

void CTestPlanDialog::ShowOptionsOfPlan()
{
    const std::string strPlan = Plan().strId;
    for (std::size_t i = 0; i < m_optionEditors.size(); ++i)
        m_pOptionsForm->setRowVisible(m_optionEditors[i], OptionShownForPlan(i, strPlan));
}

CTestPlanDialog::~CTestPlanDialog()
{
    m_runner.Stop();
}

const CTestPlan& CTestPlanDialog::Plan() const
{
    const CTestPlan* pPlan = FindTestPlan(m_pPlanBox->currentData().toString().toStdString());
    return pPlan != nullptr ? *pPlan : TestPlans().front();
}

void CTestPlanDialog::FillCases()
{
    m_pCases->clear();
    QTreeWidgetItem* pGroup = nullptr;
    for (const CPlanListRow& row : BuildPlanList(Plan()))
    {
        if (row.nCase < 0)
        {
            pGroup = new QTreeWidgetItem(m_pCases, {Text(row.strText)});
            pGroup->setFlags(pGroup->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
            pGroup->setCheckState(0, Qt::Checked);
            pGroup->setExpanded(true);
            continue;
        }
        auto* pItem = new QTreeWidgetItem(pGroup, {Text(row.strText)});
        pItem->setFlags(pItem->flags() | Qt::ItemIsUserCheckable);
        pItem->setCheckState(0, Qt::Checked);
        pItem->setData(0, Qt::UserRole, Text(row.strId));
    }
}

void CTestPlanDialog::FillOptions()
{
    const std::vector<COptionFieldText> fields = OptionFieldTexts(LoadOwnDeviceOptions());
    for (std::size_t i = 0; i < fields.size() && i < m_optionEditors.size(); ++i)
    {
        if (auto* pBox = qobject_cast<QCheckBox*>(m_optionEditors[i]))
            pBox->setChecked(fields[i].strValue == "1");
        else if (auto* pEdit = qobject_cast<QLineEdit*>(m_optionEditors[i]))
            pEdit->setText(Text(fields[i].strValue));
    }
}

void CTestPlanDialog::SetRunning(bool bRunning)
{
    m_pStart->setEnabled(!bRunning);
    m_pStop->setEnabled(bRunning);
    m_pExport->setEnabled(!bRunning && !m_runner.Results().empty());
    m_pPlanBox->setEnabled(!bRunning);
    m_pCases->setEnabled(!bRunning);
    for (QWidget* pEditor : m_optionEditors)
        pEditor->setEnabled(!bRunning);
}

void CTestPlanDialog::OnStart()
{
    const CTestPlan& plan = Plan();
    std::vector<std::string> ids;
    for (int i = 0; i < m_pCases->topLevelItemCount(); ++i)
    {
        QTreeWidgetItem* pGroup = m_pCases->topLevelItem(i);
        for (int j = 0; j < pGroup->childCount(); ++j)
        {
            if (pGroup->child(j)->checkState(0) == Qt::Checked)
                ids.push_back(pGroup->child(j)->data(0, Qt::UserRole).toString().toStdString());
        }
    }
    std::string strProblem = StartRefusal(ids.size(), m_view.PortOpen(), m_runner.IsRunning());
    std::vector<std::string> values;
    for (QWidget* pEditor : m_optionEditors)
    {
        if (auto* pBox = qobject_cast<QCheckBox*>(pEditor))
            values.push_back(pBox->isChecked() ? "1" : "0");
        else if (auto* pEdit = qobject_cast<QLineEdit*>(pEditor))
            values.push_back(pEdit->text().trimmed().toStdString());
    }
    CDeviceOptions options = LoadOwnDeviceOptions();
    if (strProblem.empty())
        ReadOptionFieldTexts(values, options, strProblem);
    std::vector<int> positions;
    if (strProblem.empty())
        CTestPlanRunner::SelectCases(plan, ids, positions, strProblem);
    if (!strProblem.empty())
    {
        m_pStatus->setText(Text(strProblem));
        return;
    }
    SaveOwnDeviceOptions(options);
    // The plan runs in its protocol mode, chosen as the menu chooses it.
    if (m_view.Mode() != plan.nMode && m_fnSwitchMode)
        m_fnSwitchMode(plan.nMode == MODE_103 ? ID_MODE_103 : ID_MODE_94);

    m_pVerdicts->setRowCount(0);
    m_pProgress->setRange(0, static_cast<int>(positions.size()));
    m_pProgress->setValue(0);
    m_pStatus->clear();
    m_pSummary->clear();
    m_strRunPlan = plan.strId;
    m_runOptions = options;
    SetRunning(true);
    // Run blocks in its own event loop: it is entered from the loop, not from the button's signal.
    QTimer::singleShot(0, this,
                       [this, &plan, options, positions]
                       {
                           m_nRunStartUs = CChannelTime::Now().nWallUs;
                           m_runner.Run(plan, options, positions);
                           m_nRunEndUs = CChannelTime::Now().nWallUs;
                           SetRunning(false);
                       });
}

void CTestPlanDialog::OnStop()
{
    m_runner.Stop();
}

void CTestPlanDialog::OnCaseFinished(int nPosition, int nCount)
{
    const std::vector<CCaseResult>& results = m_runner.Results();
    if (nPosition < 0 || static_cast<std::size_t>(nPosition) >= results.size())
        return;
    const CCaseResult& result = results[static_cast<std::size_t>(nPosition)];
    QString strFrames;
    for (const int nFrame : result.proofFrames)
        strFrames += (strFrames.isEmpty() ? QString() : QStringLiteral(",")) + QString::number(nFrame);
    const int nRow = m_pVerdicts->rowCount();
    m_pVerdicts->insertRow(nRow);
    QString strReason = Text(result.strReason);
    if (!result.strRestored.empty())
        strReason += QStringLiteral(" [") + Text(result.strRestored) + QStringLiteral("]");
    const QString cells[COL_COUNT] = {Text(result.strId),
                                      Text(result.strTitle) + (result.bActs ? QStringLiteral("  [操作]") : QString()),
                                      QString::fromUtf8(VerdictText(result.eVerdict)), strReason, strFrames};
    const QColor colour = QColor::fromRgb(VerdictColour(result.eVerdict));
    // The whole row in the verdict's shade: a failure is not missed among the passes.
    const QColor background = QColor::fromRgb(VerdictBackground(result.eVerdict));
    for (int nColumn = 0; nColumn < COL_COUNT; ++nColumn)
    {
        auto* pItem = new QTableWidgetItem(cells[nColumn]);
        if (nColumn == COL_VERDICT)
            pItem->setForeground(colour);
        pItem->setBackground(background);
        pItem->setToolTip(cells[nColumn]);
        m_pVerdicts->setItem(nRow, nColumn, pItem);
    }
    m_pVerdicts->resizeRowToContents(nRow);
    m_pProgress->setMaximum(nCount);
    m_pProgress->setValue(nPosition + 1);
    m_pSummary->setText(Text(VerdictSummary(results)));
}

void CTestPlanDialog::OnVerdictActivated(int nRow)
{
    const std::vector<CCaseResult>& results = m_runner.Results();
    if (nRow < 0 || static_cast<std::size_t>(nRow) >= results.size())
        return;
    const long long nPosition = CaseLogPosition(results[static_cast<std::size_t>(nRow)],
                                                [this](int nFrame) { return m_runner.FindFrame(nFrame); });
    if (nPosition >= 0 && m_fnShowLog)
        m_fnShowLog(nPosition);
}

bool CTestPlanDialog::ExportReport(const std::string& strBase, std::string& strError)
{
    const CTestPlan* pPlan = FindTestPlan(m_strRunPlan);
    if (pPlan == nullptr || m_runner.Results().empty())
    {
        strError = "还没有测试结果。";
        return false;
    }
    CPlanReport report;
    report.strPlanId = pPlan->strId;
    report.strPlanTitle = pPlan->strTitle;
    const CSerialFields serial = m_view.SerialFields();
    report.strPort = serial.strPort + " " + serial.strBaud + " bps " + serial.strParity;
    report.strCapture = strBase + ".pcapng";
    report.strOptionsFile = "relvane.ini [testplan]";
    report.nStartWallUs = m_nRunStartUs;
    report.nEndWallUs = m_nRunEndUs;
    report.options = m_runOptions;
    report.results = m_runner.Results();
    report.frames = m_runner.Frames();
    if (pPlan->nMode == MODE_103)
        report.strIdentification = Iec103Identification(report.frames);
    return WritePlanReports(strBase, report, true, strError);
}

void CTestPlanDialog::OnExport()
{
    const QString strChosen = QFileDialog::getSaveFileName(this, QStringLiteral("导出报告"), LastFolder(),
                                                           QStringLiteral("HTML (*.html)"));
    if (strChosen.isEmpty())
        return;
    const std::string strBase = ReportBaseName(strChosen.toStdString());
    std::string strError;
    if (ExportReport(strBase, strError))
        m_pStatus->setText(QStringLiteral("已导出: ") + Text(strBase) + QStringLiteral(".html, .xml, .pcapng"));
    else
        m_pStatus->setText(Text(strError));
}

void CTestPlanDialog::closeEvent(QCloseEvent* pEvent)
{
    // Closing while a plan runs stops it; the dialog keeps its table for the next opening.
    m_runner.Stop();
    QDialog::closeEvent(pEvent);
}

} // namespace relvane
