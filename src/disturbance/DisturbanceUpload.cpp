#include "disturbance/DisturbanceUpload.h"

#include "common/SerialSettings.h"
#include "session/RelvaneView.h"

#include <algorithm>

namespace relvane
{
namespace
{

constexpr std::uint8_t kAccessDemand = 0x20;
constexpr std::uint8_t kTovInstantaneous = 1;
constexpr std::uint8_t kGlobalFun = 255;

std::string Trimmed(const std::uint8_t* p, int n)
{
    std::string str;
    for (int i = 0; i < n; ++i)
        str += (p[i] >= 0x20 && p[i] < 0x7F) ? static_cast<char>(p[i]) : ' ';
    const auto nEnd = str.find_last_not_of(' ');
    const auto nBegin = str.find_first_not_of(' ');
    return nEnd == std::string::npos ? std::string() : str.substr(nBegin, nEnd - nBegin + 1);
}

} // namespace

CDisturbanceUpload::CDisturbanceUpload(CRelvaneView& view, QObject* pParent)
    : QObject(pParent), m_view(view), m_pViewAlive(&view)
{
    m_view.SetIec103Observer(this);
    m_watchdog.setSingleShot(true);
    m_fetch.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, &CDisturbanceUpload::OnWatchdog);
    connect(&m_fetch, &QTimer::timeout, this,
            [this]
            {
                if (m_bBusy && m_view.SerialLinkIdle())
                    RequestClass1();
            });
    // A port that closes (by the user, or its device gone) ends the upload at once: nothing more
    // can go out, not even the abort order, and waiting for the watchdog would only delay the word.
    connect(&view, &CRelvaneView::StateChanged, this,
            [this]
            {
                if (!m_bBusy || m_pViewAlive == nullptr || m_view.PortOpen())
                    return;
                CTransferOrder ignored;
                m_transfer.Abort(std::string(kPortLostText) + ", 录波读取中止。", ignored);
                Finish();
            });
}

CDisturbanceUpload::~CDisturbanceUpload()
{
    if (m_pViewAlive != nullptr)
        m_view.SetIec103Observer(nullptr);
}

bool CDisturbanceUpload::StartList(std::string& strError)
{
    return Start(0, strError);
}

bool CDisturbanceUpload::StartUpload(std::uint16_t nFan, const std::string& strFolder, ComtradeFormat eFormat,
                                     std::string& strError)
{
    if (nFan == 0)
    {
        strError = "故障序号须在1和65535之间。";
        return false;
    }
    m_strFolder = strFolder;
    m_eFormat = eFormat;
    return Start(nFan, strError);
}

bool CDisturbanceUpload::Start(std::uint16_t nFan, std::string& strError)
{
    if (m_bBusy)
    {
        strError = "录波读取正在进行。";
        return false;
    }
    if (m_view.Mode() != MODE_103 || !m_view.PortOpen())
    {
        strError = "读取录波需要在103规约下连接串口。";
        return false;
    }
    m_bBusy = true;
    m_files.clear();
    m_pending.clear();
    m_bAnswerSeen = m_bAccessDemand = m_bTimedOut = false;
    m_nTimeouts = 0;
    m_nOrderRepeats = 0;
    if (m_strIdentification.empty())
    {
        // The files are named after the relay's identification, which a reset of the frame count
        // bit brings (ASDU 5, COT 3) without touching the relay's buffers.
        CIec103Request reset;
        reset.nId = ID_103_RESET_FCB;
        m_view.QueueIec103Request(reset);
    }
    const CTransferOrder order = m_transfer.Start(nFan, m_nFun != 0 ? m_nFun : kGlobalFun);
    m_nLastAccepted = m_transfer.Accepted();
    SendOrder(order);
    ReportProgress();
    return true;
}

void CDisturbanceUpload::Cancel()
{
    if (!m_bBusy)
        return;
    CTransferOrder order;
    if (m_transfer.Abort("录波读取已取消。", order))
        SendOrder(order);
    Finish();
}

void CDisturbanceUpload::SendOrder(const CTransferOrder& order)
{
    CIec103Request request;
    request.nId = order.nAsdu == 24 ? ID_103_DISTURBANCE_ORDER : ID_103_DISTURBANCE_ACK;
    request.nFun = order.nFun;
    request.nInf = 0;
    request.abData = {5,
                      order.nToo,
                      kTovInstantaneous,
                      static_cast<std::uint8_t>(order.nFan & 0xFF),
                      static_cast<std::uint8_t>(order.nFan >> 8),
                      order.nAcc,
                      0,
                      0};
    // Unlike the form's command, the upload waits for the answer: a lost one is asked for again.
    request.bTimed = true;
    m_view.QueueIec103Request(request);
    m_watchdog.start(m_nWatchdogMs);
}

void CDisturbanceUpload::RequestClass1()
{
    CIec103Request request;
    request.nId = ID_103_CLASS1;
    m_view.QueueIec103Request(request);
}

void CDisturbanceUpload::OnIec103Frame(const std::uint8_t* pFrame, int nLength)
{
    m_bAnswerSeen = true;
    if (nLength < 5)
        return; // E5: a confirmation without access demand
    const bool bVariable = pFrame[0] == 0x68 && nLength >= 8;
    m_bAccessDemand = ((bVariable ? pFrame[4] : pFrame[1]) & kAccessDemand) != 0;
    if (!bVariable)
        return;
    const std::uint8_t* pAsdu = pFrame + 6;
    const int nAsdu = std::min(pFrame[1] - 2, nLength - 8);
    if (nAsdu >= 19 && pAsdu[0] == 5)
    {
        // Identification: compatibility level, eight characters, four octets of software.
        m_nFun = pAsdu[4];
        m_strIdentification = Trimmed(pAsdu + 7, 8);
        m_strSoftware = std::to_string(pAsdu[15]) + "." + std::to_string(pAsdu[16]) + "." +
                        std::to_string(pAsdu[17]) + "." + std::to_string(pAsdu[18]);
    }
    if (!m_bBusy || nAsdu < 7)
        return;
    CTransferOrder order;
    if (m_transfer.OnAsdu(pAsdu, nAsdu, order))
        m_pending.push_back(order);
}

void CDisturbanceUpload::OnIec103Garbled()
{
    m_bTimedOut = true; // as good as lost: the link layer fetches it again
}

void CDisturbanceUpload::OnIec103Timeout()
{
    m_bTimedOut = true;
    ++m_nTimeouts;
}

void CDisturbanceUpload::OnIec103Settled()
{
    const bool bAnswer = m_bAnswerSeen;
    const bool bLost = m_bTimedOut;
    const bool bAccessDemand = m_bAccessDemand && bAnswer;
    m_bAnswerSeen = m_bAccessDemand = m_bTimedOut = false;
    if (!m_bBusy)
        return;
    if (bAnswer)
        m_nTimeouts = 0;
    if (m_transfer.Accepted() != m_nLastAccepted)
    {
        m_nLastAccepted = m_transfer.Accepted();
        m_nOrderRepeats = 0;
        m_watchdog.start(m_nWatchdogMs);
        ReportProgress();
    }
    const std::vector<CTransferOrder> orders = std::move(m_pending);
    m_pending.clear();
    for (const CTransferOrder& order : orders)
        SendOrder(order);
    if (!m_transfer.Active())
    {
        Finish();
        return;
    }
    if (m_nTimeouts > kMaxTimeouts)
    {
        CTransferOrder order;
        if (m_transfer.Abort("装置无应答, 录波读取中止。", order))
            SendOrder(order);
        Finish();
        return;
    }
    if (!orders.empty() || !m_view.SerialLinkIdle())
        return;
    // Data are due and the session will not fetch them: class 1 at once when the relay asked
    // for it or an answer was lost (the request with the same FCB brings it again), otherwise
    // after a polling interval.
    if (bLost || bAccessDemand)
        RequestClass1();
    else
        m_fetch.start(std::max(m_view.PollIntervalMs(), 50));
}

void CDisturbanceUpload::OnWatchdog()
{
    if (!m_bBusy)
        return;
    if (m_nOrderRepeats < kMaxOrderRepeats)
    {
        // Nothing came back for the last order: the relay may never have taken it.
        ++m_nOrderRepeats;
        SendOrder(m_transfer.LastOrder());
        return;
    }
    CTransferOrder order;
    if (m_transfer.Abort("装置无应答, 录波读取中止。", order))
        SendOrder(order);
    Finish();
}

void CDisturbanceUpload::ReportProgress()
{
    emit Progress(m_transfer.ChannelsDone(), m_transfer.ChannelCount(), m_transfer.ValuesReceived(),
                  m_transfer.ElementCount());
}

void CDisturbanceUpload::Finish()
{
    m_bBusy = false;
    m_watchdog.stop();
    m_fetch.stop();
    m_pending.clear();
    if (m_transfer.GetState() != CDisturbanceTransfer::DONE)
    {
        emit Finished(false, QString::fromStdString(m_transfer.Message()));
        return;
    }
    if (m_transfer.Record().nFan == 0)
    {
        emit Finished(true, QString());
        return;
    }
    CDisturbanceRecord record = m_transfer.Record();
    record.strStation = m_strIdentification.empty() ? std::string("RELAY") : m_strIdentification;
    record.strDevice = "FUN" + std::to_string(record.nFun) + " ADDR" + std::to_string(m_view.DeviceAddress()) +
                       (m_strSoftware.empty() ? std::string() : " SW" + m_strSoftware);
    std::string strError;
    if (!WriteComtrade(record, m_strFolder, m_eFormat, m_files, strError))
    {
        emit Finished(false, QString::fromStdString(strError));
        return;
    }
    emit Finished(true, QString::fromStdString("录波已保存: " + m_files[0] + ", " + m_files[1]));
}

} // namespace relvane
