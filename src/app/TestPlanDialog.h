#pragma once

#include "testplan/TestCase.h"
#include "testplan/TestPlanRunner.h"

#include <QDialog>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTreeWidget;

namespace relvane
{

class CPlanUserInterface;
class CRelvaneView;

// "测试计划": the cases of a plan with check boxes grouped by layer (acting cases marked "操作"),
// the device options the plan uses, 开始 and 停止, a progress bar, a summary of the verdicts and
// the verdicts as they come, each row coloured by its verdict, names and reasons wrapped and in
// tooltips; a double-click on a verdict shows the case's frames in the log; "导出报告…" writes the
// runner's HTML, JUnit and pcapng files. Not modal: the log stays in reach while a plan runs.
class CTestPlanDialog : public QDialog
{
    Q_OBJECT

public:
    // fnSwitchMode runs a mode command as the menu does; fnShowLog shows the log at a position.
    CTestPlanDialog(CRelvaneView& view, CPlanUserInterface& ui, std::function<void(int)> fnSwitchMode,
                    std::function<void(long long)> fnShowLog, QWidget* pParent = nullptr);
    ~CTestPlanDialog() override;

    // The controls, for tests.
    QComboBox* PlanBox() const { return m_pPlanBox; }
    QTreeWidget* CaseTree() const { return m_pCases; }
    QTableWidget* VerdictTable() const { return m_pVerdicts; }
    QPushButton* StartButton() const { return m_pStart; }
    QPushButton* StopButton() const { return m_pStop; }
    QProgressBar* Progress() const { return m_pProgress; }
    QLabel* StatusLabel() const { return m_pStatus; }
    QLabel* SummaryLabel() const { return m_pSummary; }
    QPushButton* ExportButton() const { return m_pExport; }
    const std::vector<QWidget*>& OptionEditors() const { return m_optionEditors; }
    CTestPlanRunner& Runner() { return m_runner; }

    // 开始: checks the choice and the options, then runs (the run starts from the event loop).
    void OnStart();
    void OnStop();
    // A double-click on the verdict table's row.
    void OnVerdictActivated(int nRow);
    // Writes BASE.html, BASE.xml and BASE.pcapng of the last run; false with a message.
    bool ExportReport(const std::string& strBase, std::string& strError);

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    const CTestPlan& Plan() const;
    void FillCases();
    void FillOptions();
    void SetRunning(bool bRunning);
    void OnCaseFinished(int nPosition, int nCount);
    void OnExport();
    void ShowOptionsOfPlan();

    CRelvaneView& m_view;
    CTestPlanRunner m_runner;
    std::function<void(int)> m_fnSwitchMode;
    std::function<void(long long)> m_fnShowLog;
    QComboBox* m_pPlanBox = nullptr;
    QTreeWidget* m_pCases = nullptr;
    QTableWidget* m_pVerdicts = nullptr;
    QPushButton* m_pStart = nullptr;
    QPushButton* m_pStop = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QLabel* m_pStatus = nullptr;
    QLabel* m_pSummary = nullptr;
    QPushButton* m_pExport = nullptr;
    QFormLayout* m_pOptionsForm = nullptr;
    std::vector<QWidget*> m_optionEditors; // QLineEdit or QCheckBox per field, in form order
    // What the last run was, for its report.
    std::string m_strRunPlan;
    CDeviceOptions m_runOptions;
    std::int64_t m_nRunStartUs = 0;
    std::int64_t m_nRunEndUs = 0;
};

} // namespace relvane
