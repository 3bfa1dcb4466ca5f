#include "monitor/LineMonitor.h"

#include "monitor/AdapterLatency.h"

#include "common/AnnotationText.h"
#include "common/LineEnds.h"
#include "iec103/Iec103Codec.h"
#include "proto94/Proto94Codec.h"
#include "session/FrameAnnotation.h"
#include "session/LogDocument.h"
#include "session/LogEvent.h"
#include "session/LogStamp.h"
#include "session/SessionCommands.h"
#include "session/SessionRecorder.h"
#include "session/UiMessageQueue.h"
#include "transport/ChannelMessage.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace relvane
{
namespace
{

constexpr int kPumpPeriodMs = 20;
// Beyond a full read and its closing gap, the time a busy machine may take to hand a chunk over.
constexpr std::int64_t kHandOverSlackUs = 100000;
// A UART raises its interrupt when its receive FIFO is filled to its trigger level (16 characters
// at most on the common 16550 kind) or has gone quiet; a reader's time is that late at worst.
constexpr std::int64_t kFifoCharacters = 16;
constexpr std::int64_t kSchedulingUs = 1000;
// A read ends after this many characters of silence, so that each frame's read is its own and its
// time follows the line; a frame cut between reads waits for its rest until the line was quiet
// for the resolution and this many characters more.
constexpr std::int64_t kReadGapCharacters = 3;
constexpr std::int64_t kMinReadGapUs = 200;
constexpr std::int64_t kQuietCharacters = 4;
// Never less than the workbench's own gap: a sender (or an adapter) that stalls within a frame
// must not cut it in two.
constexpr std::int64_t kMinQuietUs = 30000;
// The idle line is looked at this often (and no less often than every few characters), so that
// a reader woken late still knows how long its line has been quiet: a relay's answer is put
// after the request before it without doubt when the turnaround is longer than this.
constexpr std::int64_t kWatchCharacters = 2;
constexpr std::int64_t kMinWatchUs = 1000;
// The longest read: the readers' own limit.
constexpr int kReadLimit = 512;
constexpr std::uint8_t kIec103SendNoReply = 4;
// A relay's frame later than this after a request's last byte is no answer to it (the workbench's
// own response time-out at start).
constexpr std::int64_t kAnswerLimitUs = 1500000;

// A 103 request that asks for no answer (send / no reply, also broadcast).
bool ExpectsNoAnswer(int nProtocol, const std::vector<std::uint8_t>& abBytes)
{
    if (nProtocol != MONITOR_103 || abBytes.empty())
        return false;
    std::uint8_t nControl = 0;
    if (abBytes[0] == 0x10 && abBytes.size() >= 2)
        nControl = abBytes[1];
    else if (abBytes[0] == 0x68 && abBytes.size() >= 5)
        nControl = abBytes[4];
    return (nControl & 0x0F) == kIec103SendNoReply;
}

} // namespace

CLineMonitor::CLineMonitor(std::unique_ptr<ISerialChannel> pMasterLine, std::unique_ptr<ISerialChannel> pRelayLine,
                           QObject* pParent)
    : QObject(pParent), m_channels{std::move(pMasterLine), std::move(pRelayLine)},
      m_pLog(std::make_unique<CLogDocument>())
{
    m_pLog->Prepare();
    m_pumpTimer.setInterval(kPumpPeriodMs);
    connect(&m_pumpTimer, &QTimer::timeout, this, [this] { Pump(false); });
}

CLineMonitor::~CLineMonitor()
{
    Stop();
}

ISerialChannel* CLineMonitor::Listening(int nLine) const
{
    return m_abListening[static_cast<std::size_t>(nLine)] ? m_channels[static_cast<std::size_t>(nLine)].get()
                                                         : nullptr;
}

int CLineMonitor::PortOf(int nLine) const
{
    if (m_settings.nBusPort != 0)
        return nLine == LINE_MASTER ? m_settings.nBusPort : 0;
    return nLine == LINE_MASTER ? m_settings.nMasterPort : m_settings.nRelayPort;
}

bool CLineMonitor::Start(const CMonitorSettings& settings, std::string& strError)
{
    Stop();
    strError = CheckMonitorSettings(settings);
    if (!strError.empty())
        return false;
    m_settings = settings;
    const std::int64_t nCharacterUs = CharacterTimeUs(settings.nBaud, settings.cParity);
    const bool bBus = settings.nBusPort != 0;
    std::int64_t nResolutionUs = settings.nResolutionUs;
    const std::int64_t nReadGapUs = std::max(kReadGapCharacters * nCharacterUs, kMinReadGapUs);
    const std::int64_t nWatchUs = std::max(kWatchCharacters * nCharacterUs, kMinWatchUs);
    m_abListening = {false, false};
    for (int nLine = LINE_MASTER; nLine <= LINE_RELAY; ++nLine)
    {
        m_queues[nLine].reset();
        const int nPort = PortOf(nLine);
        if (nPort == 0)
            continue;
        ISerialChannel* pChannel = m_channels[nLine].get();
        if (pChannel == nullptr)
        {
            strError = "无法打开串口 COM" + std::to_string(nPort);
            Close();
            m_abListening = {false, false};
            return false;
        }
        m_queues[nLine] = std::make_unique<CUiMessageQueue>();
        m_queues[nLine]->SetHandler([this, nLine](const CChannelMessage& message)
                                    { OnChannelMessage(nLine, message.nMessage); });
        pChannel->SetReadOnly(true);
        pChannel->SetReadGap(nReadGapUs);
        pChannel->SetQuietWatch(nWatchUs);
        pChannel->Configure(m_queues[nLine].get(), nPort, settings.nBaud, settings.cParity, 8, 1, 5, kReadLimit);
        if (pChannel->Open() <= 0)
        {
            strError = "无法打开串口 COM" + std::to_string(nPort);
            Close();
            m_abListening = {false, false};
            return false;
        }
        m_abListening[static_cast<std::size_t>(nLine)] = true;
        if (settings.nResolutionUs == 0)
            nResolutionUs = std::max(nResolutionUs, kFifoCharacters * nCharacterUs + kSchedulingUs + AdapterLatencyUs(nPort));
    }
    // The scanner gives a frame out once its last byte came, a garbled run at its end or after
    // the quiet time; the longest piece is the read limit's worth of bytes.
    const std::int64_t nQuietUs = std::max(nResolutionUs + kQuietCharacters * nCharacterUs, kMinQuietUs);
    for (int nLine = LINE_MASTER; nLine <= LINE_RELAY; ++nLine)
    {
        const MonitorDirection eDirection =
            bBus ? DIRECTION_UNKNOWN : (nLine == LINE_MASTER ? DIRECTION_TO_RELAY : DIRECTION_TO_MASTER);
        m_cutters[nLine] = CMonitorCutter(settings.nProtocol, nLine, eDirection, nCharacterUs, nQuietUs);
    }
    const std::int64_t nHoldUs =
        kReadLimit * nCharacterUs + nReadGapUs + nQuietUs + kHandOverSlackUs + nResolutionUs;
    m_order = CMonitorOrder(nHoldUs, nResolutionUs);
    m_nResolutionUs = nResolutionUs;
    if (m_pCapture)
        m_pCapture->SetTimeResolution(nResolutionUs);
    m_bAwaitingAnswer = false;
    m_bRunning = true;
    m_pumpTimer.start();
    return true;
}

void CLineMonitor::Stop()
{
    if (!m_bRunning)
        return;
    m_pumpTimer.stop();
    Close();
    m_bRunning = false;
    std::vector<CMonitorFrame> frames;
    for (CMonitorCutter& cutter : m_cutters)
        cutter.Expire(0, true, frames);
    for (CMonitorFrame& frame : frames)
        m_order.Add(std::move(frame));
    Pump(true);
    // Notifications still on their way find the channels empty.
}

void CLineMonitor::Close()
{
    // The readers end first; what they delivered is still queued in the channels.
    for (int nLine = LINE_MASTER; nLine <= LINE_RELAY; ++nLine)
    {
        if (ISerialChannel* pChannel = Listening(nLine))
            pChannel->Close();
    }
    for (int nLine = LINE_MASTER; nLine <= LINE_RELAY; ++nLine)
    {
        ISerialChannel* pChannel = Listening(nLine);
        if (pChannel == nullptr)
            continue;
        for (;;)
        {
            pChannel->AdvanceChunk();
            if (pChannel->BytesAvailable() <= 0)
                break;
            OnChannelMessage(nLine, 0);
        }
    }
}

void CLineMonitor::OnChannelMessage(int nLine, unsigned nMessage)
{
    ISerialChannel* pChannel = Listening(nLine);
    if (pChannel == nullptr)
        return;
    if (nMessage == WM_SERIAL_HANGUP)
    {
        emit LineGone(QString::fromStdString("串口已断开: COM" + std::to_string(PortOf(nLine))));
        return;
    }
    if (nMessage == WM_SERIAL_DATA)
        pChannel->AdvanceChunk();
    const int nCount = pChannel->BytesAvailable();
    if (nCount <= 0)
        return;
    std::vector<std::uint8_t> abChunk(static_cast<std::size_t>(nCount));
    pChannel->CopyReceived(abChunk.data(), nCount);
    std::vector<CMonitorFrame> frames;
    std::vector<CChunkRead> reads = pChannel->ChunkReads();
    if (reads.empty())
        reads.push_back(CChunkRead{0, pChannel->ChunkFirstByteTime()});
    const int nPieces = m_cutters[nLine].CutReads(abChunk.data(), nCount, reads, frames);
    if (nPieces > 1)
        m_statistics.OnSplitFrames(nPieces);
    for (CMonitorFrame& frame : frames)
        m_order.Add(std::move(frame));
    if (nMessage == WM_SERIAL_DATA)
        Pump(false);
}

void CLineMonitor::Pump(bool bAll)
{
    const std::int64_t nNowUs = CChannelTime::Now().nSteadyUs;
    std::vector<CMonitorFrame> expired;
    for (CMonitorCutter& cutter : m_cutters)
        cutter.Expire(nNowUs, false, expired);
    for (CMonitorFrame& frame : expired)
        m_order.Add(std::move(frame));
    std::vector<CMonitorFrame> released;
    m_order.Release(nNowUs, bAll, released);
    for (const CMonitorFrame& frame : released)
    {
        // Frames are released in time order: a request whose limit ran out before this frame's
        // time was not answered.
        CountUnanswered(frame.time.nSteadyUs);
        CountFrame(frame);
        WriteEntry(frame);
        if (m_fnFrameTap)
            m_fnFrameTap(frame);
    }
    // Everything up to the hold time back has been released: a request still unanswered then
    // got no answer within its limit.
    if (m_order.Waiting() == 0)
        CountUnanswered(bAll ? nNowUs : nNowUs - m_order.HoldUs());
    if (m_pCapture)
        CheckCapture(m_pCapture->SyncIfDue(CChannelTime::Now().nSteadyUs));
    if (!released.empty())
        emit FramesWritten();
}

const char* CLineMonitor::DirectionText(MonitorDirection eDirection)
{
    return eDirection == DIRECTION_TO_RELAY ? "主站→装置" : "装置→主站";
}

std::string CLineMonitor::EntryText(const CMonitorFrame& frame, int nProtocol, DeviceModel eModel)
{
    std::string strText = DirectionText(frame.eDirection);
    if (frame.bDirectionInferred)
        strText += "(推测)";
    if (frame.bTie)
        strText += "(先后不定)";
    if (!frame.bValid)
        strText += nProtocol == MONITOR_94 ? " CRC错" : " 校验和出错";
    strText += ": ";
    const int nLength = static_cast<int>(frame.abBytes.size());
    strText += CSessionRecorder::ByteText(frame.abBytes.data(), nLength, 1);
    std::string strNote;
    Proto94Codec codec;
    codec.SetModel(eModel);
    const int nResult = AnnotateFrame(nProtocol == MONITOR_94 ? MODE_94 : MODE_103, codec,
                                      frame.abBytes.data(), nLength, false, strNote);
    if (nResult > 0)
        strText.append("\r\n (\n").append(strNote).append(") \r\n");
    else
        strText += "\r\n";
    return strText;
}

void CLineMonitor::WriteEntry(const CMonitorFrame& frame)
{
    ++m_nFrames;
    const std::string strEntry = EntryText(frame, m_settings.nProtocol, m_settings.eModel);
    const std::string strStamp = CLogStamp::TimeOfDay(frame.time.nWallUs, false);
    if (m_bKeepLog)
    {
        // The head and bytes in black, the annotation block in green, as the workbench's log.
        if (m_nLogLimit > 0 && m_nLogEntries >= m_nLogLimit)
        {
            m_pLog->Clear();
            m_nLogEntries = 0;
        }
        ++m_nLogEntries;
        const std::size_t nBlock = strEntry.find("\r\n");
        m_pLog->AppendText(strStamp + strEntry.substr(0, nBlock), false);
        m_pLog->AppendText(strEntry.substr(nBlock), strEntry.size() - nBlock > 2);
    }
    if (m_fnTap)
        m_fnTap(strStamp + strEntry);
    if (m_pCapture)
    {
        CheckCapture(m_pCapture->WriteText(WithCrLf(CLogStamp::StampWithDate(strEntry, frame.time))));
        if (m_pCapture)
            CheckCapture(m_pCapture->WritePacket(m_settings.nProtocol == MONITOR_103 ? CAPTURE_SERIAL_103
                                                                                     : CAPTURE_SERIAL_OTHER,
                                                 frame.eDirection == DIRECTION_TO_MASTER, frame.time.nWallUs,
                                                 frame.abBytes.data(), static_cast<int>(frame.abBytes.size())));
    }
}

void CLineMonitor::CountFrame(const CMonitorFrame& frame)
{
    const bool bToMaster = frame.eDirection == DIRECTION_TO_MASTER;
    const int nLength = static_cast<int>(frame.abBytes.size());
    m_statistics.OnBytes(bToMaster, nLength);
    m_statistics.OnFrame(CSessionStatistics::FrameKey(m_settings.nProtocol, frame.abBytes.data(), nLength), bToMaster);
    if (!frame.bValid)
        m_statistics.OnCheckFailed();
    if (!bToMaster)
    {
        if (!frame.bValid || ExpectsNoAnswer(m_settings.nProtocol, frame.abBytes))
            return;
        // A request the relay left unanswered before the next one.
        if (m_bAwaitingAnswer)
            m_statistics.OnTimeout();
        m_bAwaitingAnswer = true;
        m_nRequestEndUs = frame.lastByte.nSteadyUs;
        return;
    }
    if (m_bAwaitingAnswer)
    {
        const std::int64_t nResponseUs = std::max<std::int64_t>(frame.time.nSteadyUs - m_nRequestEndUs, 0);
        if (nResponseUs <= kAnswerLimitUs)
            m_statistics.OnResponse(nResponseUs);
        else
            m_statistics.OnTimeout();
        m_bAwaitingAnswer = false;
    }
}

void CLineMonitor::CountUnanswered(std::int64_t nNowSteadyUs)
{
    // A request whose time limit ran out without an answer: counted once the limit is past.
    if (m_bAwaitingAnswer && nNowSteadyUs - m_nRequestEndUs > kAnswerLimitUs)
    {
        m_statistics.OnTimeout();
        m_bAwaitingAnswer = false;
    }
}

std::string CLineMonitor::StatisticsTable() const
{
    // The workbench's table, with the columns named by direction and the time-outs by what they
    // are here: requests the relay did not answer before the next one.
    std::string strTable = m_statistics.Table();
    const std::size_t nHead = strTable.find('\n');
    strTable.replace(0, nHead, "报文              主站→装置  装置→主站");
    const std::string strTimeouts = "超时 ";
    const std::size_t nAt = strTable.find("\n" + strTimeouts);
    if (nAt != std::string::npos)
        strTable.replace(nAt + 1, strTimeouts.size(), "无应答 ");
    return strTable;
}

bool CLineMonitor::StartCapture(const std::string& strBase, std::string& strError)
{
    StopCapture();
    auto pCapture = std::make_unique<CCaptureFile>();
    if (!pCapture->Open(strBase, strError))
        return false;
    if (m_bRunning)
        pCapture->SetTimeResolution(m_nResolutionUs);
    m_pCapture = std::move(pCapture);
    return true;
}

void CLineMonitor::StopCapture()
{
    m_pCapture.reset();
}

void CLineMonitor::CheckCapture(bool bWritten)
{
    if (!m_pCapture || bWritten)
        return;
    const std::string strMessage = "捕获已停止: " + m_pCapture->BaseName() + ": " + m_pCapture->Error();
    StopCapture();
    emit CaptureFailed(QString::fromStdString(strMessage));
}

} // namespace relvane
