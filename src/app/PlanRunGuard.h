#pragma once

#include <QObject>

class QWidget;

namespace relvane
{

class CTestPlanRunner;

// Keeps a plan the window runs undisturbed: the runner waits in nested event loops while the
// whole window stays live, so the commands that would reach into the run are off while it runs,
// and closing the window first asks whether to stop the plan, then closes once the plan has put
// the relay back and ended, with every entry in the log.
class CPlanRunGuard : public QObject
{
    Q_OBJECT

public:
    explicit CPlanRunGuard(QWidget& window);

    // The runner whose runs to guard (the plan dialog's, once it exists).
    void Watch(CTestPlanRunner& runner);
    bool PlanRunning() const;
    // Whether the command is off now.
    bool Blocks(int nId) const;
    // Asked by the window's close: true when it may close now. While a plan runs the answer is
    // false: the user keeps the plan, or it is stopped and the window closed again once it ends.
    bool MayClose();

signals:
    // A run started or ended: the commands' states changed.
    void RunningChanged();

private:
    void OnFinished();

    QWidget& m_window;
    CTestPlanRunner* m_pRunner = nullptr;
    bool m_bCloseWhenFinished = false;
};

} // namespace relvane
