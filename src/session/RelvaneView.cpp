#include "session/RelvaneView.h"

#include "common/AnnotationText.h"
#include "iec103/FullExplanation.h"
#include "proto94/Bcd.h"
#include "proto94/Proto94Commands.h"
#include "session/IUserInterface.h"
#include "session/PortMessages.h"

#include <QDateTime>
#include <algorithm>
#include <climits>
#include <cstdio>

namespace relvane
{

namespace
{

constexpr const char* kPortClosedMessage = "串口尚未打开,不能发送报文.";
constexpr const char* kWriteFailedMessage = "串口写入失败, 报文未发送.";
// The causes the log gives for a port that closed.
constexpr const char* kClosedByUser = "用户断开";
constexpr const char* kClosedDeviceGone = "设备已移除";
constexpr const char* kNetworkFailedMessage = "网络初始化失败";
constexpr const char* kUdpIntervalTitle = "UDP发送时间间隔";

// Serial line parameters the port always opens with, whatever the form shows.
constexpr int kDataBits = 8;
constexpr int kStopBits = 1;
constexpr unsigned kEventMask = 5; // character received, transmit buffer empty
constexpr int kReadBufferSize = 512;

// The shortest chunk the receive paths log and answer.
constexpr int kMinChunk = 5;
constexpr std::uint8_t kIec103VariableStart = 0x68;
// Our own mark after an answer the relay repeated because the FCB was kept.
constexpr const char* kRepetitionNote = "(重复应答)";

// Value of the leading decimal digits (0 when there are none), saturating instead of overflowing.
int LeadingDecimal(const std::string& strText)
{
    long long nValue = 0;
    for (const char ch : strText)
    {
        if (ch < '0' || ch > '9')
            break;
        nValue = std::min<long long>(nValue * 10 + (ch - '0'), INT_MAX);
    }
    return static_cast<int>(nValue);
}

std::uint8_t LowByte(int nValue)
{
    return static_cast<std::uint8_t>(nValue & 0xFF);
}

// The data of a time synchronisation, count byte first: the seven-octet binary time
// (milliseconds of the minute, minute, hour, day, month, year).
std::array<std::uint8_t, 8> TimeSyncData(const CClockFields& clock, int nMillisecond)
{
    const int nMs = std::clamp(clock.nSecond, 0, 59) * 1000 + std::clamp(nMillisecond, 0, 999);
    return {7,
            LowByte(nMs),
            LowByte(nMs >> 8),
            LowByte(clock.nMinute),
            LowByte(clock.nHour),
            LowByte(clock.nDay),
            LowByte(clock.nMonth),
            LowByte(clock.nYear % 100)};
}

bool IsOwnHandlerInProto94Range(int nId)
{
    switch (nId)
    {
    case ID_FORMAT_HEX:
    case ID_FORMAT_DECIMAL:
    case ID_CLEAR_LOG:
    case ID_AUTO_PROCESS:
    case ID_LINE_LIMIT:
    case ID_POLL_INTERVAL:
    case ID_SHOW_ANNOTATIONS:
        return true;
    default:
        return false;
    }
}

CCommandState State(bool bEnabled, bool bChecked = false)
{
    return CCommandState{true, bEnabled, bChecked};
}

} // namespace

CRelvaneView::CRelvaneView(std::unique_ptr<ISerialChannel> pSerialChannel,
                           std::unique_ptr<INetworkChannel> pNetworkChannel, IUserInterface& ui,
                           QObject* pParent)
    : QObject(pParent), m_ui(ui), m_pSerialChannel(std::move(pSerialChannel)),
      m_pNetworkChannel(std::move(pNetworkChannel))
{
    Q_ASSERT(m_pSerialChannel && m_pNetworkChannel);
    m_messageQueue.SetHandler([this](const CChannelMessage& message) { OnChannelMessage(message); });
    m_responseTimer.setSingleShot(true);
    m_pollTimer.setSingleShot(true);
    connect(&m_responseTimer, &QTimer::timeout, this, [this] { OnTimer(TIMER_RESPONSE); });
    connect(&m_pollTimer, &QTimer::timeout, this, [this] { OnTimer(TIMER_POLL); });
    m_customFrame.Clear();
    m_proto94Codec.SetModel(m_nDeviceModel);
    // A failure here is not reported: the network commands start the sockets layer again.
    m_pNetworkChannel->Startup(&m_messageQueue);
    connect(&m_recorder, &CSessionRecorder::CaptureFailed, this,
            [this](const QString& strMessage) { m_ui.ShowMessage(strMessage.toStdString()); });
}

CRelvaneView::~CRelvaneView()
{
    m_responseTimer.stop();
    m_pollTimer.stop();
    // The channels go first (network, then serial: the reverse order of construction) while the
    // queue they post to still exists.
    m_pNetworkChannel.reset();
    m_pSerialChannel.reset();
}

// ---------------------------------------------------------------------------------------------
// Command routing

CCommandState CRelvaneView::QueryCommand(int nId) const
{
    switch (nId)
    {
    case ID_MODE_94:
        return State(true, m_nMode == MODE_94);
    case ID_MODE_103:
        return State(true, m_nMode == MODE_103);
    case ID_MODE_ETH103:
        return State(true, m_nMode == MODE_ETH103);
    case ID_SERIAL_CONNECT:
    case ID_SERIAL_SETTINGS:
        return State(!m_bPortOpen);
    case ID_SERIAL_DISCONNECT:
        return State(m_bPortOpen != 0);
    case ID_DEVICE_ADDRESS:
    case ID_POLL_INTERVAL:
    case ID_CLEAR_LOG:
        return State(true);
    case ID_AUTO_PROCESS:
        return State(true, m_bAutoProcess != 0);
    case ID_103_POLLING:
        return State(true, m_b103Polling != 0);
    case ID_SHOW_ANNOTATIONS:
        return State(true, m_bShowAnnotations != 0);
    case ID_FORMAT_HEX:
        return State(true, m_bHex == 1);
    case ID_FORMAT_DECIMAL:
        return State(true, m_bHex == 0);
    case ID_LINE_LIMIT:
        return State(true, m_bLineLimit != 0);
    case ID_MODEL_KLR10:
        return State(true, m_nDeviceModel == KLR10);
    case ID_MODEL_KTR20:
        return State(true, m_nDeviceModel == KTR20);
    case ID_ETH_IP_SETTINGS:
    case ID_ETH_UDP_INTERVAL:
    case ID_ETH_UDP_ONCE:
    case ID_ETH_TCP_SEND:
        return State(true);
    case ID_ETH_CONNECT:
        return State(true, m_bNetworkActive != 0);
    case ID_ETH_TCP_LISTEN:
        return State(true, m_pNetworkChannel->TcpRunFlag());
    case ID_ETH_TCP_NO_READ:
        return State(true, m_pNetworkChannel->TcpDoNotRead());
    case ID_ETH_UDP_TIMED:
        return State(true, m_pNetworkChannel->UdpRunFlag());
    case ID_ETH_UDP_TIME_INFO:
        return State(true, m_pNetworkChannel->UdpTimeInformation());
    case ID_STAMP_TIME_OF_DAY:
    case ID_STAMP_SINCE_CONNECT:
    case ID_STAMP_SINCE_PREVIOUS:
        return State(true, m_recorder.Stamp().Form() == nId - ID_STAMP_TIME_OF_DAY + STAMP_TIME_OF_DAY);
    default:
        break;
    }
    if (nId >= ID_94_FIRST && nId <= ID_94_LAST)
        return State(nId != 32803 && nId != 32804); // 8CH has no layout; 8FH is never offered
    if (nId >= ID_103_FIRST && nId <= ID_103_LAST)
        return State(true);
    return CCommandState{};
}

bool CRelvaneView::OnCommand(int nId)
{
    const CCommandState state = QueryCommand(nId);
    if (!state.bHandled)
        return false;
    if (!state.bEnabled)
        return true;

    bool bHandled = true;
    m_entryTime = CChannelTime();
    switch (nId)
    {
    case ID_MODE_94:
    case ID_MODE_103:
    case ID_MODE_ETH103:
        // The window goes on to swap its menu and toolbars; nothing else changes here.
        m_nMode = nId - ID_MODE_94;
        bHandled = false;
        break;
    case ID_SERIAL_CONNECT:
        OnSerialConnect();
        break;
    case ID_SERIAL_DISCONNECT:
        OnSerialDisconnect();
        break;
    case ID_SERIAL_SETTINGS:
        OnSerialSettings();
        break;
    case ID_DEVICE_ADDRESS:
        OnDeviceAddress();
        break;
    case ID_AUTO_PROCESS:
        m_bAutoProcess = m_bAutoProcess ? 0 : 1;
        m_b94Polling = false;
        break;
    case ID_103_POLLING:
        m_b103Polling = m_b103Polling ? 0 : 1;
        break;
    case ID_SHOW_ANNOTATIONS:
        m_bShowAnnotations = m_bShowAnnotations ? 0 : 1;
        break;
    case ID_FORMAT_HEX:
        m_bHex = 1;
        break;
    case ID_FORMAT_DECIMAL:
        m_bHex = 0;
        break;
    case ID_LINE_LIMIT:
        OnLineLimit();
        break;
    case ID_POLL_INTERVAL:
        OnPollInterval();
        break;
    case ID_MODEL_KLR10:
    case ID_MODEL_KTR20:
        m_nDeviceModel = nId == ID_MODEL_KLR10 ? KLR10 : KTR20;
        m_proto94Codec.SetModel(m_nDeviceModel);
        break;
    case ID_CLEAR_LOG:
        ClearLog();
        break;
    case ID_ETH_IP_SETTINGS:
        OnIpSettings();
        break;
    case ID_ETH_UDP_INTERVAL:
        OnUdpInterval();
        break;
    case ID_ETH_CONNECT:
        OnNetworkConnect();
        break;
    case ID_ETH_TCP_LISTEN:
        OnTcpListen();
        break;
    case ID_ETH_TCP_NO_READ:
        m_pNetworkChannel->SetTcpDoNotRead(!m_pNetworkChannel->TcpDoNotRead());
        break;
    case ID_ETH_TCP_SEND:
        OnTcpSend();
        break;
    case ID_ETH_UDP_TIMED:
        OnUdpTimed();
        break;
    case ID_ETH_UDP_ONCE:
        // A sent frame is logged when WM_UDP_SENT arrives; a failure shows nothing.
        m_pNetworkChannel->SendUdpOnce();
        break;
    case ID_ETH_UDP_TIME_INFO:
        m_pNetworkChannel->SetUdpTimeInformation(!m_pNetworkChannel->UdpTimeInformation());
        break;
    case ID_STAMP_TIME_OF_DAY:
    case ID_STAMP_SINCE_CONNECT:
    case ID_STAMP_SINCE_PREVIOUS:
    {
        // Choosing the form in use turns the stamps off.
        const int nForm = nId - ID_STAMP_TIME_OF_DAY + STAMP_TIME_OF_DAY;
        m_recorder.Stamp().SetForm(m_recorder.Stamp().Form() == nForm ? STAMP_OFF : nForm);
        break;
    }
    default:
        if (nId >= ID_94_FIRST && nId <= ID_94_LAST && !IsOwnHandlerInProto94Range(nId))
            OnProto94Command(nId);
        else if (nId >= ID_103_FIRST && nId <= ID_103_LAST)
            OnIec103Command(nId);
        break;
    }
    emit StateChanged();
    return bHandled;
}

// ---------------------------------------------------------------------------------------------
// Serial line and settings

void CRelvaneView::OnSerialConnect()
{
    // The port text loses its "COM" letters for good: the port pane shows the bare number.
    const std::size_t nLetters = m_strPort.find_first_not_of("COM");
    m_strPort.erase(0, nLetters == std::string::npos ? m_strPort.size() : nLetters);
    const int nPort = LeadingDecimal(m_strPort);
    const int nBaud = LeadingDecimal(m_strBaud);
    const char cParity = m_strParity.empty() ? '\0' : m_strParity.front();
    m_pSerialChannel->Configure(&m_messageQueue, nPort, nBaud, cParity, kDataBits, kStopBits, kEventMask,
                                kReadBufferSize);
    if (m_pSerialChannel->Open() > 0)
    {
        m_bPortOpen = 1;
        m_recorder.Stamp().MarkConnected(CChannelTime::Now());
        return;
    }
    m_bPortOpen = 0;
    m_ui.ShowMessage(
        PortOpenFailedText(nPort, m_pSerialChannel->OpenedDevice(), m_pSerialChannel->OpenFailure()));
}

void CRelvaneView::OnSerialDisconnect()
{
    ClosePort(kClosedByUser);
}

void CRelvaneView::ClosePort(const char* pszCause)
{
    if (!m_bPortOpen)
        return;
    m_pSerialChannel->Close();
    m_bPortOpen = 0;
    m_b94Polling = false;
    // What waited for the line goes with it (counted, so that a headless run can say so), and so
    // do polling and the time-out: nothing could go out, and a time-out of a line that is gone
    // says nothing of the relay. Switched-on polling starts again with the next answer after a
    // connect, as it does when switched on.
    m_nDroppedCommands += HeldCommandCount();
    const bool bAwaited = IsTimerActive(TIMER_RESPONSE);
    KillTimer(TIMER_RESPONSE);
    KillTimer(TIMER_POLL);
    if (bAwaited && m_nMode == MODE_103)
        m_iec103Codec.RestoreFcb(); // the answer is lost: the next request repeats its FCB
    m_heldSends.clear();
    m_receiveScanner.Reset();
    UpdateHeldHint();
    m_entryTime = CChannelTime();
    WriteNote(std::string(kPortLostMessage) + ": COM" + m_strPort + " (" + pszCause + ")\r\n");
}

CSerialFields CRelvaneView::SerialFields() const
{
    CSerialFields fields;
    fields.nPortIndex = m_nPortIndex;
    fields.nBaudIndex = m_nBaudIndex;
    fields.nDataBitsIndex = m_nDataBitsIndex;
    fields.nStopBitsIndex = m_nStopBitsIndex;
    fields.nParityIndex = m_nParityIndex;
    fields.nTimeoutMs = m_nTimeoutMs;
    fields.nMode = m_nMode;
    fields.strPort = m_strPort;
    fields.strBaud = m_strBaud;
    fields.strParity = m_strParity;
    return fields;
}

void CRelvaneView::OnSerialSettings()
{
    CSerialFields fields = SerialFields();
    if (!m_ui.ShowSerialForm(fields))
        return;
    m_nPortIndex = fields.nPortIndex;
    m_nBaudIndex = fields.nBaudIndex;
    m_nDataBitsIndex = fields.nDataBitsIndex;
    m_nStopBitsIndex = fields.nStopBitsIndex;
    m_nParityIndex = fields.nParityIndex;
    m_nTimeoutMs = fields.nTimeoutMs;
    m_strPort = fields.strPort;
    m_strBaud = fields.strBaud;
    m_strParity = fields.strParity;
}

void CRelvaneView::OnDeviceAddress()
{
    CDeviceAddressFields fields{m_nDeviceAddress, m_nCpuNumber, m_nSettingGroup};
    if (!m_ui.ShowDeviceAddressForm(fields))
        return;
    m_nDeviceAddress = fields.nDeviceAddress;
    m_nCpuNumber = fields.nCpuNumber;
    m_nSettingGroup = fields.nSettingGroup;
    m_bDeviceAddressSet = 1;
    m_iec103Codec.SetLinkAddress(LowByte(m_nDeviceAddress));
    m_iec103Codec.SetCommonAddress(LowByte(m_nCpuNumber));
}

void CRelvaneView::OnLineLimit()
{
    CLineLimitFields fields{m_bLineLimit != 0, m_nLineLimit};
    if (!m_ui.ShowLineLimitForm(fields))
        return;
    m_bLineLimit = fields.bLineLimit ? 1 : 0;
    m_nLineLimit = fields.nLineLimit;
}

void CRelvaneView::OnPollInterval()
{
    CIntervalFields fields;
    fields.nIntervalMs = m_nPollIntervalMs;
    if (!m_ui.ShowIntervalForm(fields))
        return;
    m_nPollIntervalMs = fields.nIntervalMs;
}

// ---------------------------------------------------------------------------------------------
// Status panes

std::string CRelvaneView::DeviceAddressPaneText() const
{
    if (!m_bDeviceAddressSet)
        return "装置地址       ";
    char szText[32];
    std::snprintf(szText, sizeof(szText), "装置地址:%d", m_nDeviceAddress);
    return szText;
}

std::string CRelvaneView::CpuNumberPaneText() const
{
    if (!m_bDeviceAddressSet)
        return "CPU号       ";
    char szText[32];
    std::snprintf(szText, sizeof(szText), "CPU号:%d", m_nCpuNumber);
    return szText;
}

std::string CRelvaneView::PaneText(int nPaneId) const
{
    switch (nPaneId)
    {
    case ID_INDICATOR_PORT:
        return PortPaneText();
    case ID_INDICATOR_BAUD:
        return BaudPaneText();
    case ID_INDICATOR_PARITY:
        return ParityPaneText();
    case ID_INDICATOR_ADDRESS:
        return DeviceAddressPaneText();
    case ID_INDICATOR_CPU:
        return CpuNumberPaneText();
    default:
        return std::string();
    }
}

// ---------------------------------------------------------------------------------------------
// Timers

QTimer& CRelvaneView::Timer(int nId)
{
    return nId == TIMER_POLL ? m_pollTimer : m_responseTimer;
}

const QTimer* CRelvaneView::FindTimer(int nId) const
{
    if (nId == TIMER_RESPONSE)
        return &m_responseTimer;
    if (nId == TIMER_POLL)
        return &m_pollTimer;
    return nullptr;
}

void CRelvaneView::StartTimer(int nId, int nMs)
{
    if (nId != TIMER_RESPONSE && nId != TIMER_POLL)
        return;
    Timer(nId).start(std::max(nMs, 0));
}

void CRelvaneView::KillTimer(int nId)
{
    if (nId == TIMER_RESPONSE || nId == TIMER_POLL)
        Timer(nId).stop();
}

bool CRelvaneView::IsTimerActive(int nId) const
{
    const QTimer* pTimer = FindTimer(nId);
    return pTimer != nullptr && pTimer->isActive();
}

int CRelvaneView::TimerInterval(int nId) const
{
    const QTimer* pTimer = FindTimer(nId);
    return pTimer != nullptr ? pTimer->interval() : 0;
}

void CRelvaneView::OnTimer(int nId)
{
    m_entryTime = CChannelTime();
    // A timer started in one mode is handled by the rules of the mode active when it fires.
    switch (m_nMode)
    {
    case MODE_94:
    {
        CHeldSend poll;
        poll.eKind = CHeldSend::COMMAND_94;
        poll.bAutomatic = true;
        poll.nId = ID_94_POLL;
        if (nId == TIMER_RESPONSE)
        {
            KillTimer(TIMER_RESPONSE);
            WriteEvent(LOG_TIMEOUT);
            if (m_bAutoProcess && !m_b94PollStopped)
            {
                m_b94Polling = true;
                QueueSerialSend(std::move(poll));
            }
            else
                SendHeldSends();
        }
        else if (nId == TIMER_POLL)
        {
            KillTimer(TIMER_POLL);
            QueueSerialSend(std::move(poll));
        }
        break;
    }
    case MODE_103:
    {
        CHeldSend poll;
        poll.eKind = CHeldSend::COMMAND_103;
        poll.bAutomatic = true;
        poll.request.nId = ID_103_CLASS2;
        if (nId == TIMER_RESPONSE)
        {
            KillTimer(TIMER_RESPONSE);
            WriteEvent(LOG_TIMEOUT);
            // The answer is lost: the next FCV frame carries the same FCB, so the relay repeats it.
            m_iec103Codec.RestoreFcb();
            if (m_pIec103Observer != nullptr)
                m_pIec103Observer->OnIec103Timeout();
            if (m_b103Polling)
                QueueSerialSend(std::move(poll));
            else
                SendHeldSends();
            if (m_pIec103Observer != nullptr)
                m_pIec103Observer->OnIec103Settled();
        }
        else if (nId == TIMER_POLL)
        {
            KillTimer(TIMER_POLL);
            QueueSerialSend(std::move(poll));
        }
        break;
    }
    default:
        KillTimer(nId);
        if (nId == TIMER_RESPONSE)
            SendHeldSends();
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Channel messages

void CRelvaneView::OnChannelMessage(const CChannelMessage& message)
{
    m_entryTime = message.time;
    switch (message.nMessage)
    {
    case WM_SERIAL_DATA:
        OnSerialData();
        break;
    case WM_SERIAL_HANGUP:
        OnSerialHangUp();
        break;
    case WM_UDP_SENT:
        OnUdpSent(message);
        break;
    case WM_TCP_RECEIVED:
        OnTcpReceived(message);
        break;
    case WM_NET_STATUS:
        OnNetStatus(static_cast<int>(message.wParam));
        emit StateChanged();
        break;
    default:
        break;
    }
}

void CRelvaneView::OnSerialData()
{
    // Every notification moves the channel on to its chunk, also when the chunk goes unread.
    m_pSerialChannel->AdvanceChunk();
    m_entryTime = m_pSerialChannel->ChunkTime().OrNow();
    const int nAvailable = m_pSerialChannel->BytesAvailable();
    if (nAvailable <= 0)
        return;
    const int nLength = m_pSerialChannel->CopyReceived(m_rxBuffer.data(), kRxBufferSize);
    const CChannelTime firstByte = m_pSerialChannel->ChunkFirstByteTime();
    // Cut by the frames' structure; each piece keeps the time of the read that brought its first byte.
    const CReceivedChunk chunk =
        m_receiveScanner.Cut(m_nMode, m_rxBuffer.data(), std::max(nLength, 0), m_pSerialChannel->ChunkReads(),
                             firstByte.IsSet() ? firstByte : m_entryTime, kReadBufferSize);
    m_recorder.OnSerialPieces(m_nMode, std::max(nLength, 0), chunk.pieces);
    if (m_nMode == MODE_94)
        OnProto94Received(chunk);
    else if (m_nMode == MODE_103)
        OnIec103Received(chunk);
}

void CRelvaneView::OnSerialHangUp()
{
    // A notice from an opening the user has since closed (or replaced) is stale.
    if (!m_bPortOpen || !m_pSerialChannel->IsHungUp())
        return;
    // Closed as "串口断开" would close it, so that "串口连接" is offered again and opens the device
    // once it is back under its name.
    ClosePort(kClosedDeviceGone);
    m_ui.ShowSerialLost(kPortLostMessage);
    emit StateChanged();
}

bool CRelvaneView::SendSerialFrame(int nLength, bool bTimed)
{
    if (m_pSerialChannel->Write(m_txBuffer.data(), nLength) <= 0)
    {
        // Nothing is logged as sent that did not leave: the user hears of their own command; a
        // poll or follow-up ends there, and with it the cycle that wanted it.
        if (m_bUserSend)
            m_ui.ShowMessage(m_bPortOpen ? kWriteFailedMessage : kPortClosedMessage);
        return false;
    }
    m_entryTime = m_pSerialChannel->LastWriteTime().OrNow();
    m_recorder.OnSerialWritten(m_nMode, m_txBuffer.data(), nLength, m_entryTime);
    if (bTimed)
        StartTimer(TIMER_RESPONSE, m_nTimeoutMs);
    WriteEvent(LOG_SEND);
    WriteFrame(m_txBuffer.data(), nLength, m_bHex);
    return true;
}

// ---------------------------------------------------------------------------------------------
// '94 protocol

void CRelvaneView::OnProto94Command(int nId)
{
    if (!m_bPortOpen)
    {
        m_ui.ShowMessage(kPortClosedMessage);
        return;
    }
    const CProto94Command* pCommand = FindProto94Command(nId);
    if (pCommand == nullptr)
        return; // an id of the range without a code sends nothing
    if (nId == ID_94_POLL)
        m_b94PollStopped = false;

    CHeldSend send;
    send.eKind = CHeldSend::COMMAND_94;
    send.nId = nId;
    if (pCommand->eData == P94_DATA_CLOCK)
    {
        send.clock.bShowAnswerBox = false;
        if (!m_ui.ShowClockForm(send.clock))
            return;
    }
    QueueSerialSend(std::move(send));
}

void CRelvaneView::SendProto94Command(int nId, const CClockFields& clock)
{
    // A poll that falls due after the port closed goes nowhere, without a word.
    if (!m_bPortOpen)
    {
        if (m_bUserSend)
            m_ui.ShowMessage(kPortClosedMessage);
        return;
    }
    const CProto94Command* pCommand = FindProto94Command(nId);
    if (pCommand == nullptr)
        return;

    std::uint8_t abExtra[2] = {0, 0};
    int nExtra = 0;
    if (pCommand->eData == P94_DATA_CLOCK)
    {
        // The frame has whole seconds: the computer's time is cut to its second.
        int nMillisecond = 0;
        const CClockFields time = clock.bSynchronise ? ClockNow(nMillisecond) : clock;
        BuildClockBytes(m_txBuffer.data(), time.nYear, time.nMonth, time.nDay, time.nHour, time.nMinute,
                        time.nSecond);
    }
    else
        nExtra = PrepareProto94Extra(*pCommand, LowByte(m_nSettingGroup), m_stepCounter, abExtra);

    m_proto94Codec.SetModel(m_nDeviceModel);
    const int nLength =
        m_proto94Codec.BuildFrame(pCommand->nCode, m_txBuffer.data(), LowByte(m_nDeviceAddress),
                                  LowByte(m_nCpuNumber), nExtra, abExtra);
    if (nLength <= 0)
        return;
    SendSerialFrame(nLength, true);
}

void CRelvaneView::OnProto94Received(const CReceivedChunk& chunk)
{
    // A short read, or the first part of a frame the read limit cut, is not an answer (yet).
    if (chunk.bIgnored || chunk.pieces.empty())
        return;
    KillTimer(TIMER_RESPONSE);
    // Answers that met in one read are taken frame by frame, each as if it had come alone.
    CAutomaticStep step;
    for (const CScanPiece& piece : chunk.pieces)
        step.Merge(OnProto94Frame(piece.abBytes.data(), static_cast<int>(piece.abBytes.size())));
    TakeAutomaticStep(std::move(step), CHeldSend::FOLLOW_UP_94);
}

CAutomaticStep CRelvaneView::OnProto94Frame(const std::uint8_t* pFrame, int nLength)
{
    CAutomaticStep step;
    // Only the rest of a split chunk can be this short; it cannot hold a frame.
    if (nLength >= kMinChunk && m_proto94Codec.CheckFrame(pFrame, nLength))
    {
        WriteEvent(LOG_RECEIVE);
        WriteFrame(pFrame, nLength, m_bHex);
        if (!m_bAutoProcess)
            return step;
        std::uint8_t abAnswer[Proto94Codec::kMaxFrameLength];
        if (m_proto94Codec.BuildAutoAnswer(abAnswer, pFrame, nLength) > 0)
        {
            step.eKind = CAutomaticStep::FOLLOW_UP;
            step.abTrigger.assign(pFrame, pFrame + nLength);
            return step;
        }
    }
    else
    {
        WriteEvent(LOG_CRC_ERROR);
        WriteFrame(pFrame, nLength, m_bHex);
        if (!m_bAutoProcess)
            return step;
    }
    step.eKind = CAutomaticStep::POLL_TIMER;
    return step;
}

// ---------------------------------------------------------------------------------------------
// 103 protocol

void CRelvaneView::OnIec103Command(int nId)
{
    CHeldSend send;
    send.eKind = CHeldSend::COMMAND_103;
    CIec103Request& request = send.request;
    request.nId = nId;

    switch (nId)
    {
    case ID_103_CLASS1:
    case ID_103_CLASS2:
    case ID_103_RESET_CU:
    case ID_103_RESET_FCB:
    case ID_103_LINK_STATUS:
    case ID_103_INTERROGATION:
        break;
    case ID_103_TIME_SYNC:
    {
        CClockFields clock;
        clock.bShowAnswerBox = true;
        if (!m_ui.ShowClockForm(clock))
            return;
        request.abData = TimeSyncData(clock, 0);
        request.bConfirm = clock.bAnswer;
        request.bTimed = clock.bAnswer;
        // The form's fields hold the time it closed; the frame may wait for an answer first.
        request.bClockNow = clock.bSynchronise;
        break;
    }
    case ID_103_GENERAL_COMMAND:
    {
        CGeneralCommandFields fields = m_generalCommandFields;
        if (!m_ui.ShowGeneralCommandForm(fields))
            return;
        m_generalCommandFields = fields;
        request.nFun = LowByte(fields.nFun);
        request.nInf = LowByte(fields.nInf);
        request.abData[0] = 1;
        request.abData[1] = LowByte(fields.nDcoIndex + 1);
        request.bConfirm = fields.bAnswer;
        request.bTimed = fields.bAnswer;
        break;
    }
    case ID_103_GENERIC_COMMAND:
    case ID_103_GENERIC_DATA:
    {
        const bool bConfirmed =
            nId == ID_103_GENERIC_COMMAND
                ? m_ui.ShowGenericIdentificationForm(m_iec103Codec.UserData(), m_genericIdentificationFields)
                : m_ui.ShowGenericDataForm(m_iec103Codec.UserData(), m_genericDataFields);
        if (!bConfirmed)
            return;
        request.nInf =
            nId == ID_103_GENERIC_COMMAND ? m_genericIdentificationFields.nInf : m_genericDataFields.nInf;
        // The list as confirmed now: editing it again while the command waits changes nothing.
        const std::uint8_t* pData = m_iec103Codec.UserData().Data();
        request.abBytes.assign(pData, pData + 1 + pData[0]);
        break;
    }
    case ID_103_CUSTOM_FRAME:
    {
        m_customFrameFields.bShowChecksumButton = true;
        const CCustomFrame usersFrame = m_customFrame;
        const bool bOk = m_ui.ShowCustomFrameForm(m_customFrame, m_customFrameFields);
        request.abBytes.resize(kTxBufferSize);
        const int nLength = m_customFrame.CopyFrame(request.abBytes.data(), kTxBufferSize);
        if (m_ui.AnswersForTheUser())
            m_customFrame = usersFrame; // a plan's frame is not the user's to see next time
        if (!bOk)
            return;
        if (nLength < 1)
            return; // nothing to send
        request.abBytes.resize(static_cast<std::size_t>(nLength));
        request.bTimed = false;
        break;
    }
    case ID_103_DISTURBANCE_ORDER:
    case ID_103_DISTURBANCE_ACK:
    {
        CDisturbanceFields fields = m_disturbanceFields;
        fields.nAsdu = nId == ID_103_DISTURBANCE_ORDER ? 24 : 25;
        if (!m_ui.ShowDisturbanceForm(fields))
            return;
        m_disturbanceFields = fields;
        request.nFun = LowByte(fields.nFun);
        request.nInf = 0;
        request.abData = {5,
                          fields.nToo,
                          LowByte(fields.nTov),
                          LowByte(fields.nFan),
                          LowByte(fields.nFan >> 8),
                          LowByte(fields.nAcc),
                          0,
                          0};
        request.bTimed = false;
        break;
    }
    default:
        return; // ids of the range without a command
    }
    QueueSerialSend(std::move(send));
}

void CRelvaneView::SendIec103Request(const CIec103Request& request)
{
    std::uint8_t* pOut = m_txBuffer.data();
    CommandParams params;
    params.nFun = request.nFun;
    params.nInf = request.nInf;
    params.bConfirm = request.bConfirm ? 1 : 0;
    params.pData = request.abBytes.empty() ? request.abData.data() : request.abBytes.data();

    int nLength = 0;
    switch (request.nId)
    {
    case ID_103_CLASS1:
        nLength = m_iec103Codec.BuildRequestClass1(pOut);
        break;
    case ID_103_CLASS2:
        nLength = m_iec103Codec.BuildRequestClass2(pOut);
        break;
    case ID_103_RESET_CU:
        nLength = m_iec103Codec.BuildResetCu(pOut);
        break;
    case ID_103_RESET_FCB:
        nLength = m_iec103Codec.BuildResetFcb(pOut);
        break;
    case ID_103_LINK_STATUS:
        nLength = m_iec103Codec.BuildRequestLinkStatus(pOut);
        break;
    case ID_103_INTERROGATION:
        nLength = m_iec103Codec.BuildGeneralInterrogation(pOut, params);
        break;
    case ID_103_TIME_SYNC:
    {
        std::array<std::uint8_t, 8> abTime = request.abData;
        if (request.bClockNow)
        {
            int nMillisecond = 0;
            const CClockFields now = ClockNow(nMillisecond);
            abTime = TimeSyncData(now, nMillisecond);
        }
        params.pData = abTime.data();
        nLength = m_iec103Codec.BuildTimeSync(pOut, params);
        break;
    }
    case ID_103_GENERAL_COMMAND:
        nLength = m_iec103Codec.BuildGeneralCommand(pOut, params);
        break;
    case ID_103_GENERIC_COMMAND:
        nLength = m_iec103Codec.BuildGenericCommand(pOut, params);
        break;
    case ID_103_GENERIC_DATA:
        nLength = m_iec103Codec.BuildGenericData(pOut, params);
        break;
    case ID_103_CUSTOM_FRAME:
        nLength = static_cast<int>(std::min<std::size_t>(request.abBytes.size(), kTxBufferSize));
        std::copy_n(request.abBytes.begin(), nLength, m_txBuffer.begin());
        break;
    case ID_103_DISTURBANCE_ORDER:
        nLength = m_iec103Codec.BuildDisturbanceOrder(pOut, params);
        break;
    case ID_103_DISTURBANCE_ACK:
        nLength = m_iec103Codec.BuildDisturbanceAck(pOut, params);
        break;
    default:
        break;
    }
    if (nLength < 1)
        return;
    SendSerialFrame(nLength, request.bTimed);
}

void CRelvaneView::OnIec103Received(const CReceivedChunk& chunk)
{
    // Reads too short to be a frame are ignored, unless they are the single character E5H with
    // which a relay confirms or says it has no data (an answer like any other), or one other byte
    // (an answer damaged on the line, logged as garbled).
    if (chunk.bIgnored || chunk.pieces.empty())
        return;
    KillTimer(TIMER_RESPONSE);
    // Answers that met in one read are taken frame by frame, each as if it had come alone.
    CAutomaticStep step;
    for (const CScanPiece& piece : chunk.pieces)
        step.Merge(OnIec103Frame(piece.abBytes.data(), static_cast<int>(piece.abBytes.size())));
    TakeAutomaticStep(std::move(step), CHeldSend::FOLLOW_UP_103);
    if (m_pIec103Observer != nullptr)
        m_pIec103Observer->OnIec103Settled();
}

CAutomaticStep CRelvaneView::OnIec103Frame(const std::uint8_t* pFrame, int nLength)
{
    CAutomaticStep step;
    if (Iec103Codec::CheckSingleAck(pFrame, nLength) || Iec103Codec::CheckFrame(pFrame, nLength))
    {
        // A copy of the last answer that answers a request repeating a lost answer's FCB is the
        // relay's repetition: marked, so that its data are not counted twice.
        const bool bRepetition = pFrame[0] == kIec103VariableStart && m_iec103Codec.FcbRepeatSent() &&
                                 std::equal(pFrame, pFrame + nLength, m_abLast103Answer.begin(),
                                            m_abLast103Answer.end());
        m_abLast103Answer.assign(pFrame, pFrame + nLength);
        WriteEvent(LOG_RECEIVE);
        if (bRepetition)
            WriteRepeatedFrame(pFrame, nLength, m_bHex);
        else
            WriteFrame(pFrame, nLength, m_bHex);
        if (Iec103Codec::CheckAnswersFcb(pFrame, nLength))
            m_iec103Codec.ConfirmFcb();
        if (m_pIec103Observer != nullptr)
            m_pIec103Observer->OnIec103Frame(pFrame, nLength);
        if ((m_bAutoProcess || m_b103Polling) && Iec103Codec::CheckAutoAnswer(pFrame, nLength))
        {
            step.eKind = CAutomaticStep::FOLLOW_UP;
            step.abTrigger.assign(pFrame, pFrame + nLength);
        }
        else if (m_b103Polling)
            step.eKind = CAutomaticStep::POLL_TIMER;
        return step;
    }
    // A garbled answer, or bytes that form no frame (damaged framing included).
    WriteEvent(LOG_CHECKSUM_ERROR);
    WriteFrame(pFrame, nLength, m_bHex);
    // A garbled answer is as good as none: the relay is to repeat it.
    m_iec103Codec.RestoreFcb();
    if (m_pIec103Observer != nullptr)
        m_pIec103Observer->OnIec103Garbled();
    if (m_bAutoProcess)
        step.eKind = CAutomaticStep::POLL_TIMER;
    return step;
}

// ---------------------------------------------------------------------------------------------
// Ethernet 103

bool CRelvaneView::StartupNetwork()
{
    if (m_pNetworkChannel->Startup(&m_messageQueue) > 0)
        return true;
    m_ui.ShowMessage(kNetworkFailedMessage);
    return false;
}

void CRelvaneView::RecomputeNetworkActive()
{
    m_bNetworkActive = (m_pNetworkChannel->UdpRunFlag() || m_pNetworkChannel->TcpRunFlag()) ? 1 : 0;
}

void CRelvaneView::OnIpSettings()
{
    CIpFields fields;
    fields.nTargetAddress = m_pNetworkChannel->TargetAddress();
    fields.nTargetUdpPort = m_pNetworkChannel->TargetUdpPort();
    fields.nLocalTcpPort = m_pNetworkChannel->LocalTcpPort();
    if (!m_ui.ShowIpForm(fields))
        return;
    m_pNetworkChannel->SetTargetAddress(fields.nTargetAddress);
    m_pNetworkChannel->SetTargetUdpPort(fields.nTargetUdpPort & 0xFFFF);
    m_pNetworkChannel->SetLocalTcpPort(fields.nLocalTcpPort & 0xFFFF);
}

void CRelvaneView::OnUdpInterval()
{
    CIntervalFields fields;
    fields.strTitle = kUdpIntervalTitle;
    fields.nIntervalMs = static_cast<int>(m_pNetworkChannel->UdpInterval());
    if (!m_ui.ShowIntervalForm(fields))
        return;
    m_pNetworkChannel->SetUdpInterval(static_cast<std::uint32_t>(std::max(fields.nIntervalMs, 0)));
}

void CRelvaneView::OnTcpListen()
{
    if (m_pNetworkChannel->TcpRunFlag())
    {
        // The listener notices within a second and reports its end itself.
        m_pNetworkChannel->SetTcpRunFlag(false);
        RecomputeNetworkActive();
        return;
    }
    if (!StartupNetwork())
        return;
    m_pNetworkChannel->SetTcpRunFlag(true);
    RecomputeNetworkActive();
    m_pNetworkChannel->StartTcpListener();
}

void CRelvaneView::OnUdpTimed()
{
    if (m_pNetworkChannel->UdpRunFlag())
    {
        m_pNetworkChannel->SetUdpRunFlag(false);
        RecomputeNetworkActive();
        return;
    }
    if (!StartupNetwork())
        return;
    m_pNetworkChannel->SetUdpRunFlag(true);
    RecomputeNetworkActive();
    m_pNetworkChannel->StartUdpSender();
}

void CRelvaneView::OnNetworkConnect()
{
    m_bNetworkActive = m_bNetworkActive ? 0 : 1;
    if (!m_bNetworkActive)
    {
        m_pNetworkChannel->StopAll();
        return;
    }
    if (!StartupNetwork())
    {
        m_bNetworkActive = 0;
        return;
    }
    OnTcpListen();
    OnUdpTimed();
}

void CRelvaneView::OnTcpSend()
{
    m_customFrameFields.bShowChecksumButton = false;
    const CCustomFrame usersFrame = m_customFrame;
    const bool bOk = m_ui.ShowCustomFrameForm(m_customFrame, m_customFrameFields);
    m_customFrameFields.bShowChecksumButton = true;
    const int nLength = m_customFrame.CopyFrame(m_txBuffer.data(), kTxBufferSize);
    if (m_ui.AnswersForTheUser())
        m_customFrame = usersFrame;
    if (!bOk)
        return;
    if (!m_pNetworkChannel->IsConnected())
    {
        WriteEvent(LOG_TCP_NOT_CONNECTED);
        return;
    }
    if (nLength <= 0)
        return;
    const int nSent = m_pNetworkChannel->SendTcp(m_txBuffer.data(), nLength);
    switch (nSent)
    {
    case -1:
        WriteEvent(LOG_SOCKET_INVALID);
        break;
    case -2:
        WriteEvent(LOG_TCP_CANNOT_SEND);
        break;
    case -3:
        WriteEvent(LOG_TCP_SEND_FAILED);
        break;
    default:
        if (nSent < 0)
        {
            // Not a result the channel gives: nothing was sent.
            WriteEvent(LOG_TCP_SEND_FAILED);
            break;
        }
        m_entryTime = m_pNetworkChannel->LastTcpSendTime().OrNow();
        m_recorder.OnNetworkFrame(CAPTURE_TCP, false, m_txBuffer.data(), std::min(nSent, nLength),
                                  m_entryTime);
        WriteEvent(LOG_TCP_SEND);
        WriteFrame(m_txBuffer.data(), std::min(nSent, nLength), m_bHex);
        break;
    }
}

void CRelvaneView::OnUdpSent(const CChannelMessage& message)
{
    WriteEvent(LOG_UDP_SEND);
    // Only the bytes the message carries are shown, however many it claims.
    const auto nCount =
        static_cast<int>(std::min<long long>({std::max<long long>(message.lParam, 0),
                                              static_cast<long long>(message.abData.size()), kRxBufferSize}));
    if (nCount <= 0)
        return;
    std::copy_n(message.abData.begin(), nCount, m_rxBuffer.begin());
    m_recorder.OnNetworkFrame(CAPTURE_UDP, false, m_rxBuffer.data(), nCount, m_entryTime.OrNow());
    WriteFrame(m_rxBuffer.data(), nCount, m_bHex);
}

void CRelvaneView::OnTcpReceived(const CChannelMessage& message)
{
    WriteEvent(LOG_TCP_RECEIVE);
    const auto nCount =
        static_cast<int>(std::min<long long>({std::max<long long>(message.lParam, 0),
                                              static_cast<long long>(message.abData.size()), kRxBufferSize}));
    if (nCount <= 0)
        return;
    std::copy_n(message.abData.begin(), nCount, m_rxBuffer.begin());
    m_recorder.OnNetworkFrame(CAPTURE_TCP, true, m_rxBuffer.data(), nCount, m_entryTime.OrNow());
    WriteFrame(m_rxBuffer.data(), nCount, m_bHex);
}

void CRelvaneView::OnNetStatus(int nCode)
{
    switch (nCode)
    {
    case NET_TCP_BIND_FAILED:
        WriteEvent(LOG_TCP_BIND_FAILED);
        break;
    case NET_TCP_LISTENING:
        WriteEvent(LOG_TCP_LISTENING);
        break;
    case NET_TCP_LISTEN_FAILED:
        WriteEvent(LOG_TCP_LISTEN_FAILED);
        break;
    case NET_TCP_LISTEN_STOPPED:
        WriteEvent(LOG_TCP_LISTEN_STOPPED);
        break;
    case NET_TCP_CONNECTED:
        m_recorder.Stamp().MarkConnected(m_entryTime.OrNow());
        WriteEvent(LOG_TCP_CONNECTED);
        break;
    case NET_TCP_DISCONNECTED:
        WriteEvent(LOG_TCP_DISCONNECTED);
        RecomputeNetworkActive();
        break;
    case NET_UDP_STOPPED:
        RecomputeNetworkActive();
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Log writer

int CRelvaneView::Annotate(const std::uint8_t* pFrame, int nLength, std::string& strText) const
{
    if (pFrame == nullptr || nLength <= 0)
        return -1;
    if (m_nMode == MODE_94)
        return m_proto94Codec.Interpret(pFrame, nLength, strText);
    if (m_nMode == MODE_103)
    {
        CAnnotationText text;
        const int nResult = Iec103Codec::Annotate(pFrame, nLength, text);
        strText = text.Text();
        if (nResult > 0 && m_bFullExplanation)
        {
            // Its own bound: the annotation keeps the length it is specified with.
            CAnnotationText full;
            AppendFullExplanation(pFrame, nLength, full);
            strText += full.Text();
        }
        return nResult;
    }
    return -1; // the Ethernet mode has no annotator
}

void CRelvaneView::WriteFrame(const std::uint8_t* pBytes, int nLength, int nFormat)
{
    WriteFrameWithMark(pBytes, nLength, nFormat, nullptr);
}

void CRelvaneView::WriteRepeatedFrame(const std::uint8_t* pBytes, int nLength, int nFormat)
{
    WriteFrameWithMark(pBytes, nLength, nFormat, kRepetitionNote);
}

void CRelvaneView::WriteFrameWithMark(const std::uint8_t* pBytes, int nLength, int nFormat, const char* pszMark)
{
    const long long nLogPosition = m_log.EndPosition();
    m_log.AppendBytes(pBytes, nLength, nFormat);
    std::string strLineEnd;
    std::string strNote;
    if (m_bShowAnnotations && Annotate(pBytes, nLength, strNote) > 0)
    {
        strLineEnd.reserve(strNote.size() + 10);
        strLineEnd.append("\r\n (\n").append(strNote).append(") ");
        if (pszMark == nullptr)
            strLineEnd.append("\r\n");
        m_log.AppendText(strLineEnd, true);
    }
    else if (pszMark == nullptr)
    {
        strLineEnd = "\r\n";
        m_log.AppendText(strLineEnd, m_bShowAnnotations != 0);
    }
    if (pszMark != nullptr)
    {
        // In the log's own colour, after the annotation (or after the bytes without one).
        const std::string strMark = std::string(pszMark) + "\r\n";
        m_log.AppendText(strMark, false);
        strLineEnd += strMark;
    }
    m_recorder.OnLogFrame(m_nMode, pBytes, nLength, nFormat, strLineEnd, pszMark != nullptr, nLogPosition);
    ApplyLineLimit();
}

void CRelvaneView::WriteNote(const std::string& strText)
{
    m_log.AppendText(m_recorder.OnLogEvent(LOG_NOTE, strText.c_str(), m_entryTime.OrNow()), false);
}

void CRelvaneView::WriteEvent(int nKind)
{
    const char* pszText = LogEventText(nKind);
    if (pszText == nullptr)
        return;
    m_log.AppendText(m_recorder.OnLogEvent(nKind, pszText, m_entryTime.OrNow()), false);
    if (LogEventCounts(nKind))
        ApplyLineLimit();
}

void CRelvaneView::ApplyLineLimit()
{
    if (!m_bLineLimit)
        return;
    if (m_nLineCount > m_nLineLimit)
        ClearLog();
    if (m_nLineCount < INT_MAX)
        ++m_nLineCount;
}

void CRelvaneView::ClearLog()
{
    m_log.Clear();
    m_nLineCount = 0;
}

void CRelvaneView::PrepareLog()
{
    m_log.Prepare();
}

// ---------------------------------------------------------------------------------------------
// The computer's clock

void CRelvaneView::SetWallClock(WallClock fnClock)
{
    m_fnWallClock = std::move(fnClock);
}

CClockFields CRelvaneView::ClockNow(int& nMillisecond) const
{
    const std::int64_t nWallUs = m_fnWallClock ? m_fnWallClock() : CChannelTime::Now().nWallUs;
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(nWallUs / 1000).toLocalTime();
    CClockFields clock;
    clock.nYear = local.date().year();
    clock.nMonth = local.date().month();
    clock.nDay = local.date().day();
    clock.nHour = local.time().hour();
    clock.nMinute = local.time().minute();
    clock.nSecond = std::min(local.time().second(), 59); // a leap second stays in its minute
    nMillisecond = local.time().msec();
    return clock;
}

} // namespace relvane
