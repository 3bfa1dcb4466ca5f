#include "BenchSupport.h"

#include "FakeNetworkChannel.h"
#include "app/LogFonts.h"
#include "app/LogHeap.h"
#include "session/SessionCommands.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <clocale>

namespace relvane::bench
{

std::unique_ptr<QApplication> StartApplication(int& argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    KeepLargeBlocksMapped(); // as relvane does
    auto pApp = std::make_unique<QApplication>(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    InstallLogFontFallbacks();
    return pApp;
}

int CBenchSerialChannel::Configure(IMessageSink* pOwner, int, int, char, int, int, unsigned, int)
{
    m_chunks.SetSink(pOwner);
    return CHANNEL_OK;
}

int CBenchSerialChannel::Write(const std::uint8_t*, int)
{
    m_nLastWrite = Clock::now().time_since_epoch().count();
    ++m_nWrites;
    return 1;
}

void CBenchSerialChannel::AdvanceChunk()
{
    m_chunks.Advance();
    const long long nCount = ++m_nAdvanced;
    if (m_fnAdvanceHook)
        m_fnAdvanceHook(nCount);
}

CWorkbench::CWorkbench(bool bShow, std::unique_ptr<INetworkChannel> pNetwork)
{
    auto pSerial = std::make_unique<CBenchSerialChannel>();
    m_pSerial = pSerial.get();
    if (pNetwork == nullptr)
        pNetwork = std::make_unique<CFakeNetworkChannel>();
    m_pView = std::make_unique<CRelvaneView>(std::move(pSerial), std::move(pNetwork), m_ui);
    m_ui.LineLimitForm().Push(Confirm(CLineLimitFields{false, 2000}));
    m_pView->OnCommand(ID_LINE_LIMIT);
    m_pView->OnCommand(ID_SERIAL_CONNECT);
    m_pFrame = std::make_unique<CMainFrame>(*m_pView);
    if (bShow)
    {
        m_pFrame->show();
        Pump(50);
    }
}

CWorkbench::~CWorkbench()
{
    m_pFrame.reset();
    m_pView.reset();
}

void FillLog(CRelvaneView& view, int nEntries)
{
    std::vector<std::vector<std::uint8_t>> frames;
    for (int i = 0; i < 40; ++i)
        frames.push_back(EventFrame(i));
    for (int i = 0; i < nEntries; ++i)
    {
        const auto& abFrame = frames[static_cast<std::size_t>(i % 40)];
        view.WriteEvent(LOG_RECEIVE);
        view.WriteFrame(abFrame.data(), static_cast<int>(abFrame.size()), 1);
        if ((i + 1) % 500 == 0)
            QCoreApplication::processEvents();
    }
    view.Log().Flush();
    QCoreApplication::processEvents();
}

void Pump(int nMs)
{
    QEventLoop loop;
    QTimer::singleShot(nMs, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace relvane::bench
