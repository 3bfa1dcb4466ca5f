#pragma once

#include "common/FrameScanner.h"
#include "session/CaptureFile.h"
#include "session/IReceivedFrameObserver.h"
#include "session/LogStamp.h"
#include "session/SessionStatistics.h"
#include "transport/ChannelTime.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace relvane
{

// What the session keeps beyond the log: the time stamps of its entries, a capture to disk and the
// link statistics. The session tells it every log entry (as the log writer writes it) and every
// frame on the lines (as the channels moved it, with their times); all of it stays out of the log
// unless the user turns it on.
class CSessionRecorder : public QObject
{
    Q_OBJECT

public:
    explicit CSessionRecorder(QObject* pParent = nullptr);
    ~CSessionRecorder() override;

    CLogStamp& Stamp() { return m_stamp; }
    const CLogStamp& Stamp() const { return m_stamp; }
    CSessionStatistics& Statistics() { return m_statistics; }

    // The log writer's entries. OnLogEvent returns the text the log gets (stamped when stamps are
    // on); OnLogFrame gets the frame an entry's prefix announced and the text that ends its line
    // (the annotation block or "\r\n", and the mark of a repetition). A received frame the relay
    // repeated (bRepetition) counts as a repetition, not as a frame received.
    std::string OnLogEvent(int nKind, const char* pszText, const CChannelTime& time);
    void OnLogFrame(int nMode, const std::uint8_t* pBytes, int nLength, int nFormat,
                    std::string_view strLineEnd, bool bRepetition = false, long long nLogPosition = -1);
    // Followers of the frames logged as received (the event list and the trends); not owned.
    void AddReceivedFrameObserver(IReceivedFrameObserver* pObserver) { m_receivedObservers.push_back(pObserver); }
    void RemoveReceivedFrameObserver(IReceivedFrameObserver* pObserver)
    {
        std::erase(m_receivedObservers, pObserver);
    }

    // The lines, with the times the channels took. A serial chunk's packets in the capture carry
    // the time of its first byte, as the response times do.
    void OnSerialWritten(int nMode, const std::uint8_t* pBytes, int nLength, const CChannelTime& time);
    void OnSerialChunk(int nMode, const std::uint8_t* pBytes, int nLength, const CChannelTime& firstByte);
    // The same for a chunk already cut into pieces, each with the time of its first byte's read.
    void OnSerialPieces(int nMode, int nChunkLength, const std::vector<CScanPiece>& pieces);
    void OnNetworkFrame(CaptureLine eLine, bool bInbound, const std::uint8_t* pBytes, int nLength,
                        const CChannelTime& time);

    // A capture to NAME.txt and NAME.pcapng; a running one is stopped first. NAME.txt begins
    // with kCaptureTimesNote, which says what its times and those of the packets are.
    bool StartCapture(const std::string& strBase, std::string& strError);
    // False (after CaptureFailed) when the files did not keep everything written to them.
    bool StopCapture();
    bool IsCapturing() const { return m_pCapture != nullptr; }
    // "捕获: NAME.pcapng 12.3 KB" while a capture runs, else "".
    std::string CaptureStatus() const;

    // Sees every serial frame as it moved on the line, in line order: each frame written, and each
    // frame of a received chunk (split as the capture splits it, so the n-th frame seen is the
    // n-th packet of a capture started at the same moment), with the chunk's first-byte and
    // completion times (a written frame has its write time in both). A test plan judges from it.
    using FrameTap = std::function<void(bool bInbound, const std::uint8_t* pBytes, int nLength,
                                        const CChannelTime& firstByte, const CChannelTime& complete)>;
    void SetFrameTap(FrameTap fnTap) { m_fnFrameTap = std::move(fnTap); }

    // The byte text of a frame as the log writes it: "%.2X " per byte for format 1, "%.2d " for 0.
    static std::string ByteText(const std::uint8_t* pBytes, int nLength, int nFormat);

    static constexpr const char* kCaptureTimesNote =
        "# 时间: 文本中发送为写完的时刻, 接收为读完的时刻(串口: 最后一个字节后静默 30 ms); "
        "pcapng 中串口接收的报文为该次读取第一个字节的时刻\r\n";

signals:
    // The capture stopped on a writing error; the session goes on.
    void CaptureFailed(const QString& strMessage);

private:
    void WriteCaptureText(std::string_view strText);
    // Times that never go back: an entry's no earlier than the entry before, a packet's no
    // earlier than the packet before.
    CChannelTime InLogOrder(const CChannelTime& time);
    std::int64_t PacketTime(std::int64_t nWallUs);
    void CheckCapture(bool bWritten);
    // Closes the capture; says why when it lost anything.
    bool EndCapture(bool bWritten);

    CLogStamp m_stamp;
    CSessionStatistics m_statistics;
    std::unique_ptr<CCaptureFile> m_pCapture;
    QTimer m_syncTimer;
    int m_nPendingKind = -1; // the prefix whose frame comes next
    bool m_bAwaitingAnswer = false;
    CChannelTime m_request;
    std::int64_t m_nLastPacketUs = 0; // wall time of the last packet
    CChannelTime m_lastEntry;         // time of the last log entry
    FrameTap m_fnFrameTap;
    std::vector<IReceivedFrameObserver*> m_receivedObservers;
};

} // namespace relvane
