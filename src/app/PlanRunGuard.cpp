#include "app/PlanRunGuard.h"

#include "forms/FormDialog.h"
#include "testplan/PlanCommands.h"
#include "testplan/TestPlanRunner.h"

#include <QTimer>
#include <QWidget>

namespace relvane
{
namespace
{

constexpr const char* kStopPlanQuestion = "测试计划正在运行。停止测试计划并关闭窗口吗?";

} // namespace

CPlanRunGuard::CPlanRunGuard(QWidget& window) : QObject(&window), m_window(window) {}

void CPlanRunGuard::Watch(CTestPlanRunner& runner)
{
    if (m_pRunner == &runner)
        return;
    m_pRunner = &runner;
    connect(&runner, &CTestPlanRunner::CaseStarted, this, &CPlanRunGuard::RunningChanged);
    connect(&runner, &CTestPlanRunner::Finished, this, &CPlanRunGuard::OnFinished);
    connect(&runner, &QObject::destroyed, this, [this] { m_pRunner = nullptr; });
}

bool CPlanRunGuard::PlanRunning() const
{
    return m_pRunner != nullptr && m_pRunner->IsRunning();
}

bool CPlanRunGuard::Blocks(int nId) const
{
    return PlanRunning() && CommandDisturbsPlan(nId);
}

bool CPlanRunGuard::MayClose()
{
    if (!PlanRunning())
        return true;
    if (m_bCloseWhenFinished)
        return false; // the plan is already stopping
    if (AskRelvaneQuestion(&m_window, QString::fromUtf8(kStopPlanQuestion)) != EAnswer::Yes)
        return false;
    m_bCloseWhenFinished = true;
    m_pRunner->Stop();
    return false;
}

void CPlanRunGuard::OnFinished()
{
    emit RunningChanged();
    if (!m_bCloseWhenFinished)
        return;
    m_bCloseWhenFinished = false;
    // The runner is still on the stack: the window closes from the event loop, after it returned.
    QTimer::singleShot(0, &m_window, [this] { m_window.close(); });
}

} // namespace relvane
