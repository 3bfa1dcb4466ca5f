#pragma once

#include "common/SerialSettings.h"
#include "iec103/CustomFrame.h"
#include "iec103/Iec103Codec.h"
#include "proto94/DeviceModel.h"
#include "proto94/Proto94Codec.h"
#include "proto94/Proto94StepCounter.h"
#include "session/FormFields.h"
#include "session/HeldSend.h"
#include "session/IIec103Observer.h"
#include "session/LogDocument.h"
#include "session/LogEvent.h"
#include "session/SerialReceiveScanner.h"
#include "session/SessionCommands.h"
#include "session/SessionRecorder.h"
#include "session/UiMessageQueue.h"
#include "transport/INetworkChannel.h"
#include "transport/ISerialChannel.h"

#include <QObject>
#include <QTimer>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace relvane
{

class IUserInterface;

// The session: every setting, the channels and codecs, command routing, the response and polling
// timers, the receive paths of the three protocol modes and the log. Lives on the UI thread; the
// channels reach it only through its message queue. The window wraps it (menus, toolbars, status
// bar and a text edit showing LogDocument()).
class CRelvaneView : public QObject
{
    Q_OBJECT

public:
    static constexpr int kTxBufferSize = 8192;
    static constexpr int kRxBufferSize = 16384;
    // Said once when the open port's device goes away.
    static constexpr const char* kPortLostMessage = kPortLostText;
    // The wall clock in microseconds since 1970 (UTC), read when a clock frame synchronised with
    // the computer goes out; tests set their own.
    using WallClock = std::function<std::int64_t()>;

    // Both channels must be given; the view owns them and starts the network's sockets layer.
    CRelvaneView(std::unique_ptr<ISerialChannel> pSerialChannel,
                 std::unique_ptr<INetworkChannel> pNetworkChannel, IUserInterface& ui,
                 QObject* pParent = nullptr);
    ~CRelvaneView() override;

    CRelvaneView(const CRelvaneView&) = delete;
    CRelvaneView& operator=(const CRelvaneView&) = delete;

    // Runs the command. Returns false for ids the view does not handle and for the protocol-mode
    // commands, whose mode the view stores before the window swaps its menu and toolbars.
    // A disabled command does nothing.
    bool OnCommand(int nId);
    // Enabled and checked state of a command, and whether the view handles it.
    CCommandState QueryCommand(int nId) const;

    // Handlers of the channel messages and of the two timers.
    void OnChannelMessage(const CChannelMessage& message);
    void OnSerialData();
    // The serial device went away: the port is closed and the user told once.
    void OnSerialHangUp();
    void OnUdpSent(const CChannelMessage& message);
    void OnTcpReceived(const CChannelMessage& message);
    void OnNetStatus(int nCode);
    void OnTimer(int nId);

    // The protocol handlers.
    void OnProto94Command(int nId);
    void OnProto94Received(const CReceivedChunk& chunk);
    void OnIec103Command(int nId);
    void OnIec103Received(const CReceivedChunk& chunk);

    // For layers built on the session (the disturbance upload): follow the 103 link, and queue a
    // 103 request as a form would, without the form. Idle: no answer awaited, no poll due and
    // nothing held.
    void SetIec103Observer(IIec103Observer* pObserver) { m_pIec103Observer = pObserver; }
    void QueueIec103Request(const CIec103Request& request);
    bool SerialLinkIdle() const;

    // The log writer.
    void WriteFrame(const std::uint8_t* pBytes, int nLength, int nFormat);
    // The same for an answer the relay repeated: our mark "(重复应答)" follows the frame (and its
    // annotation), and the statistics count a repetition instead of a frame.
    void WriteRepeatedFrame(const std::uint8_t* pBytes, int nLength, int nFormat);
    void WriteEvent(int nKind);
    void ClearLog();
    // Prepares the text area at start and after "新建" and "打开" (the counter is kept).
    void PrepareLog();
    QTextDocument* LogDocument() { return m_log.Document(); }
    CLogDocument& Log() { return m_log; }
    // The log as text: "\r\n" per paragraph end, "\n" per line break (pending appends included).
    std::string LogText() { return m_log.PlainText(); }

    // Texts of the five status-bar panes (by pane id, or one by one); "" for an unknown id.
    std::string PaneText(int nPaneId) const;
    std::string PortPaneText() const { return m_strPort; }
    std::string BaudPaneText() const { return m_strBaud + " bps"; }
    std::string ParityPaneText() const { return m_strParity; }
    std::string DeviceAddressPaneText() const;
    std::string CpuNumberPaneText() const;

    // Timers (one-shot; starting a running timer restarts it).
    void StartTimer(int nId, int nMs);
    void KillTimer(int nId);
    bool IsTimerActive(int nId) const;
    int TimerInterval(int nId) const;
    // The user's commands waiting for the serial line (held polls and follow-ups not counted).
    int HeldCommandCount() const;
    // The user's commands that were still held when the port closed, and so never went out.
    int DroppedCommandCount() const { return m_nDroppedCommands; }
    // The clock the time synchronisation reads when "与计算机时间同步" was ticked (the system's by
    // default; an empty one restores it).
    void SetWallClock(WallClock fnClock);

    // The sink the channels post to.
    IMessageSink* MessageSink() { return &m_messageQueue; }
    ISerialChannel& SerialChannel() { return *m_pSerialChannel; }
    INetworkChannel& NetworkChannel() { return *m_pNetworkChannel; }
    Proto94Codec& Proto94() { return m_proto94Codec; }
    Iec103Codec& Iec103() { return m_iec103Codec; }
    CCustomFrame& CustomFrame() { return m_customFrame; }
    // Time stamps, capture to disk and statistics (all off or hidden until the user asks).
    CSessionRecorder& Recorder() { return m_recorder; }

    // Settings (read access for the window, the headless runner and tests).
    int Mode() const { return m_nMode; }
    int DeviceAddress() const { return m_nDeviceAddress; }
    int CpuNumber() const { return m_nCpuNumber; }
    int SettingGroup() const { return m_nSettingGroup; }
    bool DeviceAddressSet() const { return m_bDeviceAddressSet != 0; }
    int TimeoutMs() const { return m_nTimeoutMs; }
    int PollIntervalMs() const { return m_nPollIntervalMs; }
    const std::string& Port() const { return m_strPort; }
    const std::string& Baud() const { return m_strBaud; }
    const std::string& Parity() const { return m_strParity; }
    bool PortOpen() const { return m_bPortOpen != 0; }
    bool AutoProcess() const { return m_bAutoProcess != 0; }
    bool Iec103Polling() const { return m_b103Polling != 0; }
    // '94: the poll (83H) repeats on its own (automatic processing schedules the next after each
    // answer or time-out) while the port is open.
    bool Proto94Polling() const { return m_b94Polling && m_bAutoProcess && m_bPortOpen; }
    // Ends that repetition: the next poll goes out only when the user asks for one.
    void StopProto94Polling();
    bool ShowAnnotations() const { return m_bShowAnnotations != 0; }
    // Our own option, off until asked for: the full explanation of each 103 frame's ASDU body after
    // its annotation.
    void SetFullExplanation(bool bOn) { m_bFullExplanation = bOn; }
    bool FullExplanation() const { return m_bFullExplanation; }
    int HexFormat() const { return m_bHex; }
    bool LineLimitOn() const { return m_bLineLimit != 0; }
    int LineLimit() const { return m_nLineLimit; }
    int LineCount() const { return m_nLineCount; }
    DeviceModel Model() const { return m_nDeviceModel; }
    std::uint16_t StepCounter() const { return m_stepCounter.Value(); }
    bool NetworkActive() const { return m_bNetworkActive != 0; }
    CSerialFields SerialFields() const;
    // A port chosen on the command line: the port text and its entry in the serial form's list
    // (-1 when the list does not hold it).
    void PreselectPort(const std::string& strPort, int nPortIndex)
    {
        m_strPort = strPort;
        m_nPortIndex = nPortIndex;
    }

signals:
    // Something an enabled or checked state or a status pane shows may have changed.
    void StateChanged();

private:
    void OnSerialConnect();
    void OnSerialDisconnect();
    void OnSerialSettings();
    void OnDeviceAddress();
    void OnLineLimit();
    void OnPollInterval();
    void OnIpSettings();
    void OnUdpInterval();
    void OnNetworkConnect();
    void OnTcpListen();
    void OnUdpTimed();
    void OnTcpSend();
    bool StartupNetwork();
    void RecomputeNetworkActive();
    void ApplyLineLimit();
    int Annotate(const std::uint8_t* pFrame, int nLength, std::string& strText) const;
    // Writes the transmit buffer; only bytes the port took are logged, captured and counted, and
    // only they start the response timer. False when the write failed (said to the user for
    // their own commands).
    bool SendSerialFrame(int nLength, bool bTimed);
    // Closes the open port and says so in the log with the cause; what waited for the line and
    // both timers end with it, so that nothing is logged that cannot happen.
    void ClosePort(const char* pszCause);
    // A line of the log of our own (not one of the writer's fixed texts), stamped as entries are.
    void WriteNote(const std::string& strText);
    // One request at a time on the serial line: every send goes through the queue, which sends
    // while no response timer runs. An automatic send replaces an automatic one still waiting.
    void QueueSerialSend(CHeldSend send);
    void SendHeldSends();
    void DropAutomaticSend();
    void DropHeldPoll();
    void DispatchSend(const CHeldSend& send);
    void UpdateHeldHint();
    void TakeAutomaticStep(CAutomaticStep step, CHeldSend::Kind eFollowUp);
    void SendProto94Command(int nId, const CClockFields& clock);
    // The computer's local time now, for a clock frame synchronised with it.
    CClockFields ClockNow(int& nMillisecond) const;
    void SendIec103Request(const CIec103Request& request);
    CAutomaticStep OnProto94Frame(const std::uint8_t* pFrame, int nLength);
    CAutomaticStep OnIec103Frame(const std::uint8_t* pFrame, int nLength);
    QTimer& Timer(int nId);
    const QTimer* FindTimer(int nId) const;
    void WriteFrameWithMark(const std::uint8_t* pBytes, int nLength, int nFormat, const char* pszMark);

    // The queue comes first so that it outlives the channels posting to it.
    CUiMessageQueue m_messageQueue;
    CLogDocument m_log;
    IUserInterface& m_ui;

    // Owned members in their order of construction.
    std::unique_ptr<ISerialChannel> m_pSerialChannel;
    Proto94Codec m_proto94Codec;
    std::unique_ptr<INetworkChannel> m_pNetworkChannel;
    Iec103Codec m_iec103Codec;
    CCustomFrame m_customFrame;
    CCustomFrameFields m_customFrameFields;
    CDisturbanceFields m_disturbanceFields;
    CGeneralCommandFields m_generalCommandFields;
    CGenericIdentificationFields m_genericIdentificationFields;
    CGenericDataFields m_genericDataFields;

    int m_nMode = MODE_94;
    int m_nDeviceAddress = 1;
    int m_nCpuNumber = 1;
    int m_nSettingGroup = 0;
    std::int32_t m_bDeviceAddressSet = 0;
    int m_nPortIndex = 0;
    int m_nBaudIndex = 4;
    int m_nDataBitsIndex = 4;
    int m_nStopBitsIndex = 0;
    int m_nParityIndex = 0;
    int m_nTimeoutMs = 1500;
    std::string m_strPort = "COM1";
    std::string m_strBaud = "9600";
    std::string m_strParity = "NONE";
    std::int32_t m_bPortOpen = 0;
    std::int32_t m_bAutoProcess = 1;
    std::int32_t m_b103Polling = 0;
    std::int32_t m_bShowAnnotations = 1;
    bool m_bFullExplanation = false;
    int m_bHex = 1;
    std::int32_t m_bLineLimit = 1;
    int m_nLineLimit = 2000;
    int m_nLineCount = 0;
    int m_nPollIntervalMs = 1000;
    bool m_b94Polling = false;     // a '94 answer or time-out scheduled the next poll
    bool m_b94PollStopped = false; // the user stopped the repetition; the next 83H restarts it
    DeviceModel m_nDeviceModel = KLR10;
    std::array<std::uint8_t, kTxBufferSize> m_txBuffer{};
    std::array<std::uint8_t, kRxBufferSize> m_rxBuffer{};
    CProto94StepCounter m_stepCounter;
    std::int32_t m_bNetworkActive = 0;

    CSessionRecorder m_recorder;
    CSerialReceiveScanner m_receiveScanner;
    // When the bytes of the entry being logged moved (unset: the moment it is written).
    CChannelTime m_entryTime;

    QTimer m_responseTimer;
    QTimer m_pollTimer;
    // The last answer the 103 receive path took as valid: a copy of it that answers a request
    // with a kept FCB is marked as a repetition.
    std::vector<std::uint8_t> m_abLast103Answer;
    std::deque<CHeldSend> m_heldSends;
    int m_nHeldHintCount = 0; // user commands the status hint last counted
    int m_nDroppedCommands = 0;
    bool m_bUserSend = false; // the send going out is the user's own command (not a poll)
    WallClock m_fnWallClock;
    IIec103Observer* m_pIec103Observer = nullptr;
};

} // namespace relvane
