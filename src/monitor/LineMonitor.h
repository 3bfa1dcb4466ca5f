#pragma once

#include "monitor/MonitorFrame.h"
#include "monitor/MonitorSettings.h"
#include "session/CaptureFile.h"
#include "session/SessionStatistics.h"
#include "transport/ISerialChannel.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <string>

namespace relvane
{

class CLogDocument;
class CUiMessageQueue;

// Listens to a master-relay line without taking part: opens the ports for reading only, cuts
// what each reader delivers into frames as the workbench does, puts the frames of both lines into
// the order of the readers' times and writes each with its direction, time and annotation into a
// log of its own, the capture and the statistics. Runs on the thread it lives on (the UI thread);
// the readers post to it. Nothing is ever written to the ports.
class CLineMonitor : public QObject
{
    Q_OBJECT

public:
    // The channels it listens on: the master's transmit line (also the one line of a bus) and the
    // relay's; the monitor configures and opens them on Start, reading only, and closes them on Stop.
    CLineMonitor(std::unique_ptr<ISerialChannel> pMasterLine, std::unique_ptr<ISerialChannel> pRelayLine,
                 QObject* pParent = nullptr);
    ~CLineMonitor() override;

    // Opens the ports; false with a reason ("无法打开串口 COMn") when one cannot be opened.
    bool Start(const CMonitorSettings& settings, std::string& strError);
    // Writes every frame still held back, then closes the ports.
    void Stop();
    bool IsRunning() const { return m_bRunning; }
    const CMonitorSettings& Settings() const { return m_settings; }

    // The log that the window shows and saves (text and colours as the workbench's log); with
    // bKeep false nothing is put into it (a headless run that saves no RTF keeps no log).
    CLogDocument& Log() { return *m_pLog; }
    void SetKeepLog(bool bKeep) { m_bKeepLog = bKeep; }
    // Empties the log once it holds this many entries, as the workbench's line limit does (0: never);
    // the capture keeps everything.
    void SetLogLimit(int nEntries) { m_nLogLimit = nEntries; }
    // Sees every entry's text, without its time stamp's date, as it is written ("\r\n" line ends).
    void SetEntryTap(std::function<void(const std::string&)> fnTap) { m_fnTap = std::move(fnTap); }
    // Sees every frame as it is written, with its times.
    void SetFrameTap(std::function<void(const CMonitorFrame&)> fnTap) { m_fnFrameTap = std::move(fnTap); }

    bool StartCapture(const std::string& strBase, std::string& strError);
    void StopCapture();
    bool IsCapturing() const { return m_pCapture != nullptr; }

    const CSessionStatistics& Statistics() const { return m_statistics; }
    void ResetStatistics() { m_statistics.Reset(); }
    // The statistics as text lines, columns 主站→装置 and 装置→主站.
    std::string StatisticsTable() const;
    std::uint64_t FrameCount() const { return m_nFrames; }
    // Frames heard and held back until their order across the two lines is settled.
    std::size_t WaitingCount() const { return m_order.Waiting(); }

    // Takes whatever the readers have delivered and writes the frames that are due (every one
    // when bAll). The monitor's own timer calls it; tests may too.
    void Pump(bool bAll = false);

    // The text of one entry, without time stamp: direction, marks, bytes and annotation.
    static std::string EntryText(const CMonitorFrame& frame, int nProtocol, DeviceModel eModel);
    // The direction as the log names it.
    static const char* DirectionText(MonitorDirection eDirection);

signals:
    // A port's device went away; the other line (if any) is still heard.
    void LineGone(const QString& strMessage);
    // The capture stopped on a writing error; listening goes on.
    void CaptureFailed(const QString& strMessage);
    // Frames were written (once per pump that wrote any).
    void FramesWritten();

private:
    // Closes the channels of this run and takes in what they still held.
    void Close();
    void OnChannelMessage(int nLine, unsigned nMessage);
    void WriteEntry(const CMonitorFrame& frame);
    void CountFrame(const CMonitorFrame& frame);
    void CountUnanswered(std::int64_t nNowSteadyUs);
    void CheckCapture(bool bWritten);
    int PortOf(int nLine) const;
    ISerialChannel* Listening(int nLine) const;

    CMonitorSettings m_settings;
    std::array<std::unique_ptr<CUiMessageQueue>, 2> m_queues;
    std::array<std::unique_ptr<ISerialChannel>, 2> m_channels;
    std::array<bool, 2> m_abListening{false, false}; // the channel is the line of this run
    std::array<CMonitorCutter, 2> m_cutters;
    CMonitorOrder m_order;
    std::unique_ptr<CLogDocument> m_pLog;
    std::unique_ptr<CCaptureFile> m_pCapture;
    CSessionStatistics m_statistics;
    QTimer m_pumpTimer;
    std::function<void(const std::string&)> m_fnTap;
    std::function<void(const CMonitorFrame&)> m_fnFrameTap;
    bool m_bRunning = false;
    bool m_bKeepLog = true;
    int m_nLogLimit = 0;
    int m_nLogEntries = 0;
    std::uint64_t m_nFrames = 0;
    bool m_bAwaitingAnswer = false;
    std::int64_t m_nRequestEndUs = 0;
    std::int64_t m_nResolutionUs = 0; // how close two lines' frames may be before their order is in doubt
};

} // namespace relvane
