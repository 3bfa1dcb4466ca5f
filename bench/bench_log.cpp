// Log writer throughput and memory: annotated '94 entries written through the session as the
// receive path writes them, with the line limit off, the event loop turning every few entries.
//
//   bench_log [entries] [entries per event-loop turn] [--layout] [--no-undo]
//
// --layout gives the document a layout, as the window's text edit does; --no-undo switches the
// document's undo off for good instead of around each batch of appends.

#include "BenchFigures.h"
#include "FakeNetworkChannel.h"
#include "FakeSerialChannel.h"
#include "ScriptedUserInterface.h"
#include "session/RelvaneView.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    int nEntries = 200000;
    int nPerTurn = 20;
    bool bLayout = false;
    bool bNoUndo = false;
    int nPositional = 0;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--layout") == 0)
            bLayout = true;
        else if (std::strcmp(argv[i], "--no-undo") == 0)
            bNoUndo = true;
        else if (nPositional++ == 0)
            nEntries = std::max(1, std::atoi(argv[i]));
        else
            nPerTurn = std::max(1, std::atoi(argv[i]));
    }

    using namespace relvane;
    using namespace relvane::bench;
    CScriptedUserInterface ui;
    CRelvaneView view(std::make_unique<CFakeSerialChannel>(), std::make_unique<CFakeNetworkChannel>(), ui);
    ui.LineLimitForm().Push(Confirm(CLineLimitFields{false, 2000}));
    view.OnCommand(ID_LINE_LIMIT);
    if (bLayout)
        view.LogDocument()->documentLayout();
    if (bNoUndo)
        view.LogDocument()->setUndoRedoEnabled(false);

    std::vector<std::vector<std::uint8_t>> frames;
    for (int i = 0; i < 40; ++i)
        frames.push_back(EventFrame(i));
    std::string strNote;
    view.Proto94().Interpret(frames[1].data(), static_cast<int>(frames[1].size()), strNote);

    const long nBefore = ResidentBytes();
    const auto start = Clock::now();
    for (int i = 0; i < nEntries; ++i)
    {
        const auto& abFrame = frames[static_cast<std::size_t>(i % 40)];
        view.WriteEvent(LOG_RECEIVE);
        view.WriteFrame(abFrame.data(), static_cast<int>(abFrame.size()), 1);
        if ((i + 1) % nPerTurn == 0)
            QCoreApplication::processEvents();
    }
    view.Log().Flush();
    const auto stop = Clock::now();
    const long nAfterRaw = ResidentBytes();
    const long nAfter =
        TrimmedResidentBytes(); // what the allocator keeps of freed temporaries is not the log's

    const double dSeconds = Seconds(start, stop);
    const std::size_t nChars = static_cast<std::size_t>(view.LogDocument()->characterCount());
    std::printf("bench_log: %d annotated entries, %d per event-loop turn%s%s\n", nEntries, nPerTurn,
                bLayout ? ", with layout" : "", bNoUndo ? ", undo off" : "");
    std::printf("  annotation per entry: %zu bytes UTF-8; document: %zu characters, %d paragraphs\n",
                strNote.size(), nChars, view.LogDocument()->blockCount());
    std::printf("  %.0f entries/s (%.2f s)\n", nEntries / dSeconds, dSeconds);
    std::printf("  %.0f bytes/entry resident growth (%.1f MB; %.0f bytes/entry before trimming the heap)\n",
                static_cast<double>(nAfter - nBefore) / nEntries, (nAfter - nBefore) / 1048576.0,
                static_cast<double>(nAfterRaw - nBefore) / nEntries);
    return 0;
}
