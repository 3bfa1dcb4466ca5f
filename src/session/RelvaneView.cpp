#include "session/RelvaneView.h"

#include "common/CalendarTime.h"
#include "session/FrameAnnotation.h"
#include "session/IUserInterface.h"
#include "session/PortMessages.h"
#include "session/RelvaneViewParts.h"

#include <algorithm>
#include <climits>
#include <cstdio>

// CRelvaneView, the part all modes share: construction, command routing, the serial line and its
// settings, status panes, timers, channel messages, the log writer and the computer's clock.
namespace relvane
{

using view_parts::kPortClosedMessage;
using view_parts::LowByte;

namespace
{

constexpr const char* kWriteFailedMessage = "串口写入失败, 报文未发送.";
// The causes the log gives for a port that closed.
constexpr const char* kClosedByUser = "用户断开";
constexpr const char* kClosedDeviceGone = "设备已移除";

// Serial line parameters the port always opens with, whatever the form shows.
constexpr int kDataBits = 8;
constexpr int kStopBits = 1;
constexpr unsigned kEventMask = 5; // character received, transmit buffer empty
constexpr int kReadBufferSize = 512;

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
// Log writer

int CRelvaneView::Annotate(const std::uint8_t* pFrame, int nLength, std::string& strText) const
{
    return AnnotateFrame(m_nMode, m_proto94Codec, pFrame, nLength, m_bFullExplanation, strText);
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
    const CCalendarTime local = LocalCalendarTime(nWallUs / 1000);
    CClockFields clock;
    clock.nYear = local.nYear;
    clock.nMonth = local.nMonth;
    clock.nDay = local.nDay;
    clock.nHour = local.nHour;
    clock.nMinute = local.nMinute;
    clock.nSecond = std::min(local.nSecond, 59); // a leap second stays in its minute
    nMillisecond = local.nMillisecond;
    return clock;
}

} // namespace relvane
