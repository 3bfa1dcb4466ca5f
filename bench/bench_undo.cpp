// The log's undo history in a big log in the real window: typing in the middle of the log (each
// key keeps only the text beside it), Ctrl+A and a key (the log kept once) and "撤消" of it.
//
//   bench_undo [entries]
//
// The default is 100,000 entries.

#include "BenchSupport.h"
#include "app/CommandTable.h"
#include "app/LogEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTextCursor>
#include <cstdio>

using namespace relvane;
using namespace relvane::bench;

namespace
{

void Drain()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void Press(CLogEdit* pEdit, int nKey, Qt::KeyboardModifiers modifiers, const QString& strText = {})
{
    QKeyEvent event(QEvent::KeyPress, nKey, modifiers, strText);
    QApplication::sendEvent(pEdit, &event);
}

} // namespace

int main(int argc, char** argv)
{
    const auto pApp = StartApplication(argc, argv);
    const int nEntries = PositionalNumber(argc, argv, 100000);
    PrintMachine("bench_undo");
    CWorkbench bench;
    FillLog(bench.View(), nEntries);
    CLogEdit* pEdit = bench.Frame().LogEdit();
    QTextCursor middle(pEdit->document());
    middle.setPosition(pEdit->document()->characterCount() / 2);
    pEdit->setTextCursor(middle);
    pEdit->setFocus();
    Drain();

    constexpr int kKeys = 500;
    const long nBefore = TrimmedResidentBytes();
    auto start = Clock::now();
    for (int i = 0; i < kKeys; ++i)
        Press(pEdit, i % 10 == 9 ? Qt::Key_Backspace : Qt::Key_X, Qt::NoModifier, i % 10 == 9 ? QString() : QStringLiteral("x"));
    Drain();
    const double dTyping = Seconds(start, Clock::now());
    const long nAfterTyping = TrimmedResidentBytes();
    std::printf("  %d keys typed in the middle of %d entries: %.3f ms a key; memory %+.1f MB\n", kKeys, nEntries,
                dTyping * 1000 / kKeys, (nAfterTyping - nBefore) / 1048576.0);

    start = Clock::now();
    Press(pEdit, Qt::Key_A, Qt::ControlModifier);
    Press(pEdit, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    Drain();
    const double dWipe = Seconds(start, Clock::now());
    const long nAfterWipe = TrimmedResidentBytes();
    start = Clock::now();
    bench.Frame().OnCommand(ID_EDIT_UNDO);
    Drain();
    const double dUndo = Seconds(start, Clock::now());
    std::printf("  Ctrl+A and a key over %d entries: %.3f s, memory %+.1f MB; 撤消 of it: %.3f s, %d "
                "paragraphs back; load %.2f\n",
                nEntries, dWipe, (nAfterWipe - nAfterTyping) / 1048576.0, dUndo, pEdit->document()->blockCount(),
                LoadAverage());
    return 0;
}
