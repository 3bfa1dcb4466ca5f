// Feeds arbitrary bytes to the reader of saved logs, lays out what it read as the window would
// (wrapped at a window's width, so that a layout that hangs is found), and writes it back.
#include "rtf/RtfText.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Laying out text loads the fonts; fontconfig keeps its caches until the process ends.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerInitialize(int* pArgc, char*** pArgv)
{
    // Text layout wants an application object; no screen is needed.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication* pApp = new QGuiApplication(*pArgc, *pArgv);
    (void)pApp;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const QByteArray abRtf(reinterpret_cast<const char*>(pData), static_cast<qsizetype>(nSize));
    QTextDocument document;
    if (relvane::ReadRtf(abRtf, document))
    {
        document.setTextWidth(400);
        (void)document.size();
        // What was read must write back and read again.
        const QByteArray abAgain = relvane::BuildRtf(document);
        QTextDocument again;
        if (!relvane::ReadRtf(abAgain, again))
            std::abort();
    }
    return 0;
}
