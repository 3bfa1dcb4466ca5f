// Select all and copy, and find, in a big log in the real window: the window's own commands, timed
// until the event loop has handled what they caused (the clipboard change, the command states,
// the repaint).
//
//   bench_copy_find [entries]
//
// The default is 100,000 entries (the size the targets name).

#include "BenchSupport.h"
#include "app/CommandTable.h"
#include "app/LogEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <cstdio>

using namespace relvane;
using namespace relvane::bench;

namespace
{

// Runs queued events until none are left (at most a few rounds).
void Drain()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace

int main(int argc, char** argv)
{
    const auto pApp = StartApplication(argc, argv);

    const int nEntries = PositionalNumber(argc, argv, 100000);
    PrintMachine("bench_copy_find");
    CWorkbench bench;
    // A time-out near the start is the text to find; the rest are annotated '94 entries.
    FillLog(bench.View(), 10);
    bench.View().WriteEvent(LOG_TIMEOUT);
    FillLog(bench.View(), nEntries - 10);
    CLogEdit* pEdit = bench.Frame().LogEdit();
    pEdit->moveCursor(QTextCursor::End);
    Drain();

    // Ctrl+A and Ctrl+C as the user types them in the log: on X11 the selection also goes to
    // the primary selection.
    pEdit->setFocus();
    const auto press = [pEdit](int nKey)
    {
        QKeyEvent event(QEvent::KeyPress, nKey, Qt::ControlModifier);
        QApplication::sendEvent(pEdit, &event);
    };
    const double dCpuBefore = ThreadCpuSeconds();
    auto start = Clock::now();
    press(Qt::Key_A);
    press(Qt::Key_C);
    Drain();
    const double dCopy = Seconds(start, Clock::now());
    const double dCopyCpu = ThreadCpuSeconds() - dCpuBefore;
    const QMimeData* pData = QApplication::clipboard()->mimeData();
    const QMimeData* pPrimary = QApplication::clipboard()->supportsSelection()
                                    ? QApplication::clipboard()->mimeData(QClipboard::Selection)
                                    : nullptr;
    std::printf("  select all + copy of %d entries: %.3f s, window thread CPU %.3f s (target: at most 0.5 "
                "s); clipboard: %s, %.1f MB text; primary selection: %s; load %.2f\n",
                nEntries, dCopy, dCopyCpu,
                pData != nullptr ? qPrintable(pData->formats().join(u' ')) : "empty",
                pData != nullptr ? pData->text().size() * 2 / 1048576.0 : 0.0,
                !QApplication::clipboard()->supportsSelection() ? "none on this platform"
                : pPrimary != nullptr                           ? qPrintable(pPrimary->formats().join(u' '))
                                                                : "empty",
                LoadAverage());

    pEdit->moveCursor(QTextCursor::End);
    Drain();
    start = Clock::now();
    const bool bFound = pEdit->FindText(QStringLiteral("超时"), {});
    pEdit->viewport()->repaint();
    Drain();
    const double dFind = Seconds(start, Clock::now());
    std::printf("  find near the start from the end (forward, wrapping): %.3f s%s (target: at most 0.2 s)\n",
                dFind, bFound ? "" : " NOT FOUND");

    pEdit->moveCursor(QTextCursor::End);
    Drain();
    start = Clock::now();
    const bool bFoundBack = pEdit->FindText(QStringLiteral("超时"), QTextDocument::FindBackward);
    pEdit->viewport()->repaint();
    Drain();
    const double dFindBack = Seconds(start, Clock::now());
    std::printf("  find near the start from the end (backward, through the whole log): %.3f s%s\n", dFindBack,
                bFoundBack ? "" : " NOT FOUND");
    return 0;
}
