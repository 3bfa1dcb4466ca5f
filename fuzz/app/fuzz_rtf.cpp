// Feeds arbitrary bytes to the reader of saved logs, and writes back what it read.
#include "app/RtfText.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

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
        // What was read must write back and read again.
        const QByteArray abAgain = relvane::BuildRtf(document);
        QTextDocument again;
        if (!relvane::ReadRtf(abAgain, again))
            std::abort();
    }
    return 0;
}
