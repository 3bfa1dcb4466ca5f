#include "session/SessionRecorder.h"

#include "common/LineEnds.h"
#include "session/LogEvent.h"
#include "session/SerialReceiveScanner.h"
#include "session/SessionCommands.h"

#include <algorithm>
#include <cstdio>

namespace relvane
{
namespace
{

constexpr int kSyncPeriodMs = 1000;

CChannelTime Time(const CScanTime& time)
{
    CChannelTime channelTime;
    channelTime.nWallUs = time.nWallUs;
    channelTime.nSteadyUs = time.nSteadyUs;
    return channelTime;
}

bool IsFramePrefix(int nKind)
{
    switch (nKind)
    {
    case LOG_SEND:
    case LOG_RECEIVE:
    case LOG_CRC_ERROR:
    case LOG_CHECKSUM_ERROR:
    case LOG_UDP_SEND:
    case LOG_TCP_SEND:
    case LOG_TCP_RECEIVE:
        return true;
    default:
        return false;
    }
}

} // namespace

CSessionRecorder::CSessionRecorder(QObject* pParent) : QObject(pParent)
{
    m_syncTimer.setInterval(kSyncPeriodMs);
    connect(&m_syncTimer, &QTimer::timeout, this,
            [this]
            {
                if (m_pCapture)
                    CheckCapture(m_pCapture->SyncIfDue(CChannelTime::Now().nSteadyUs, 0));
            });
}

CSessionRecorder::~CSessionRecorder() = default;

std::string CSessionRecorder::ByteText(const std::uint8_t* pBytes, int nLength, int nFormat)
{
    std::string strText;
    if (pBytes == nullptr || nLength <= 0 || (nFormat != 0 && nFormat != 1))
        return strText;
    strText.reserve(static_cast<std::size_t>(nLength) * 4);
    char szByte[8];
    for (int i = 0; i < nLength; ++i)
    {
        std::snprintf(szByte, sizeof szByte, nFormat == 1 ? "%.2X " : "%.2d ", pBytes[i]);
        strText += szByte;
    }
    return strText;
}

CChannelTime CSessionRecorder::InLogOrder(const CChannelTime& time)
{
    // The log is written in the order the window thread handled things; a read that ended before
    // a send logged ahead of it must not carry an earlier time (nor may a clock set back).
    CChannelTime ordered = time;
    ordered.nWallUs = std::max(time.nWallUs, m_lastEntry.nWallUs);
    ordered.nSteadyUs = std::max(time.nSteadyUs, m_lastEntry.nSteadyUs);
    m_lastEntry = ordered;
    return ordered;
}

std::int64_t CSessionRecorder::PacketTime(std::int64_t nWallUs)
{
    m_nLastPacketUs = std::max(nWallUs, m_nLastPacketUs);
    return m_nLastPacketUs;
}

std::string CSessionRecorder::OnLogEvent(int nKind, const char* pszText, const CChannelTime& entryTime)
{
    const CChannelTime time = InLogOrder(entryTime);
    const bool bFrame = IsFramePrefix(nKind);
    m_nPendingKind = bFrame ? nKind : -1;
    if (nKind == LOG_TIMEOUT)
    {
        m_statistics.OnTimeout();
        m_bAwaitingAnswer = false;
    }
    if (m_pCapture)
        WriteCaptureText(CLogStamp::StampWithDate(pszText, time));
    return m_stamp.Stamp(pszText, time, bFrame);
}

void CSessionRecorder::OnLogFrame(int nMode, const std::uint8_t* pBytes, int nLength, int nFormat,
                                  std::string_view strLineEnd, bool bRepetition, long long nLogPosition)
{
    if (m_pCapture)
        WriteCaptureText(ByteText(pBytes, nLength, nFormat) + WithCrLf(strLineEnd));
    const int nKind = m_nPendingKind;
    m_nPendingKind = -1;
    switch (nKind)
    {
    case LOG_SEND:
        m_statistics.OnFrame(CSessionStatistics::FrameKey(nMode, pBytes, nLength), false);
        break;
    case LOG_CRC_ERROR:
    case LOG_CHECKSUM_ERROR:
        m_statistics.OnCheckFailed();
        [[fallthrough]];
    case LOG_RECEIVE:
        if (bRepetition)
            m_statistics.OnRepetition();
        else
            m_statistics.OnFrame(CSessionStatistics::FrameKey(nMode, pBytes, nLength), true);
        if (nKind == LOG_RECEIVE && !bRepetition)
        {
            for (IReceivedFrameObserver* pObserver : m_receivedObservers)
                pObserver->OnReceivedFrame(nMode, pBytes, nLength, m_lastEntry, nLogPosition);
        }
        break;
    case LOG_TCP_SEND:
    case LOG_TCP_RECEIVE:
        m_statistics.OnFrame("TCP", nKind == LOG_TCP_RECEIVE);
        break;
    case LOG_UDP_SEND:
        m_statistics.OnFrame("UDP", false);
        break;
    default:
        break;
    }
}

void CSessionRecorder::OnSerialWritten(int nMode, const std::uint8_t* pBytes, int nLength,
                                       const CChannelTime& time)
{
    m_statistics.OnBytes(false, nLength);
    m_request = time;
    m_bAwaitingAnswer = true;
    const std::int64_t nPacketUs = PacketTime(time.nWallUs);
    if (m_fnFrameTap && pBytes != nullptr && nLength > 0)
        m_fnFrameTap(false, pBytes, nLength, time, time);
    if (m_pCapture)
        CheckCapture(m_pCapture->WritePacket(nMode == MODE_103 ? CAPTURE_SERIAL_103 : CAPTURE_SERIAL_OTHER,
                                             false, nPacketUs, pBytes, nLength));
}

void CSessionRecorder::OnSerialChunk(int nMode, const std::uint8_t* pBytes, int nLength,
                                     const CChannelTime& firstByte)
{
    if (pBytes == nullptr || nLength <= 0)
        return;
    CSerialReceiveScanner scanner;
    const CReceivedChunk chunk = scanner.Cut(nMode, pBytes, nLength, {}, firstByte, nLength + 1);
    OnSerialPieces(nMode, nLength, chunk.pieces);
}

void CSessionRecorder::OnSerialPieces(int nMode, int nChunkLength, const std::vector<CScanPiece>& pieces)
{
    if (nChunkLength > 0)
        m_statistics.OnBytes(true, nChunkLength);
    if (pieces.empty())
        return;
    if (m_bAwaitingAnswer)
    {
        m_statistics.OnResponse(pieces.front().firstByte.nSteadyUs - m_request.nSteadyUs);
        m_bAwaitingAnswer = false;
    }
    if (pieces.size() > 1)
        m_statistics.OnSplitFrames(static_cast<int>(pieces.size()));
    const CaptureLine eLine = nMode == MODE_103 ? CAPTURE_SERIAL_103 : CAPTURE_SERIAL_OTHER;
    for (const CScanPiece& piece : pieces)
    {
        // The time the relay began to send the piece (the end of a read comes a silence gap
        // later), but never before our last frame: a write's time is taken when the call
        // returns, and on a fast line (a pseudo-terminal) the answer's first byte can come before.
        CChannelTime firstByte;
        firstByte.nWallUs = std::max(piece.firstByte.nWallUs, m_nLastPacketUs);
        firstByte.nSteadyUs = piece.firstByte.nSteadyUs;
        m_nLastPacketUs = firstByte.nWallUs;
        const std::uint8_t* pBytes = piece.abBytes.data();
        const int nLength = static_cast<int>(piece.abBytes.size());
        // A received frame is told by its first byte's read, as its capture packet is; the end
        // of its chunk is the silence gap later and says nothing of the relay.
        if (m_fnFrameTap)
            m_fnFrameTap(true, pBytes, nLength, Time(piece.firstByte), Time(piece.firstByte));
        // One packet per frame, so that a decoder sees each answer of a merged read on its own.
        if (m_pCapture)
            CheckCapture(m_pCapture->WritePacket(eLine, true, firstByte.nWallUs, pBytes, nLength));
    }
}

void CSessionRecorder::OnNetworkFrame(CaptureLine eLine, bool bInbound, const std::uint8_t* pBytes,
                                      int nLength, const CChannelTime& time)
{
    m_statistics.OnBytes(bInbound, nLength);
    const std::int64_t nPacketUs = PacketTime(time.nWallUs);
    if (m_pCapture)
        CheckCapture(m_pCapture->WritePacket(eLine, bInbound, nPacketUs, pBytes, nLength));
}

bool CSessionRecorder::StartCapture(const std::string& strBase, std::string& strError)
{
    StopCapture();
    auto pCapture = std::make_unique<CCaptureFile>();
    if (!pCapture->Open(strBase, strError))
        return false;
    if (!pCapture->WriteText(kCaptureTimesNote))
    {
        strError = pCapture->Error();
        return false;
    }
    m_pCapture = std::move(pCapture);
    m_syncTimer.start();
    return true;
}

bool CSessionRecorder::StopCapture()
{
    return EndCapture(true);
}

bool CSessionRecorder::EndCapture(bool bWritten)
{
    m_syncTimer.stop();
    if (!m_pCapture)
        return true;
    bWritten = m_pCapture->Close() && bWritten;
    const std::string strMessage = "捕获已停止: " + m_pCapture->BaseName() + ": " + m_pCapture->Error();
    m_pCapture.reset();
    if (!bWritten)
        emit CaptureFailed(QString::fromStdString(strMessage));
    return bWritten;
}

std::string CSessionRecorder::CaptureStatus() const
{
    if (!m_pCapture)
        return std::string();
    const double nKb = static_cast<double>(m_pCapture->TextBytes() + m_pCapture->PacketBytes()) / 1024.0;
    char szSize[32];
    std::snprintf(szSize, sizeof szSize, "%.1f KB", nKb);
    return "捕获: " + m_pCapture->BaseName() + ".txt/.pcapng " + szSize;
}

void CSessionRecorder::WriteCaptureText(std::string_view strText)
{
    CheckCapture(m_pCapture->WriteText(strText));
}

void CSessionRecorder::CheckCapture(bool bWritten)
{
    if (!m_pCapture)
        return;
    if (bWritten)
        bWritten = m_pCapture->SyncIfDue(CChannelTime::Now().nSteadyUs);
    if (!bWritten)
        EndCapture(false);
}

} // namespace relvane
