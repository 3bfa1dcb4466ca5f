#include "disturbance/DisturbanceTransfer.h"

#include "common/CivilDays.h"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace relvane
{
namespace
{

constexpr std::uint8_t kCotDisturbance = 31;

// Order and acknowledgement TOO values.
constexpr std::uint8_t kTooSelect = 1;
constexpr std::uint8_t kTooRequestData = 2;
constexpr std::uint8_t kTooAbortData = 3;
constexpr std::uint8_t kTooRequestChannel = 8;
constexpr std::uint8_t kTooRequestTags = 16;
constexpr std::uint8_t kTooRequestList = 24;
constexpr std::uint8_t kTooDataReceived = 64;
constexpr std::uint8_t kTooDataNotReceived = 65;
constexpr std::uint8_t kTooChannelReceived = 66;
constexpr std::uint8_t kTooChannelNotReceived = 67;
constexpr std::uint8_t kTooTagsReceived = 68;

unsigned Word(const std::uint8_t* p)
{
    return static_cast<unsigned>(p[0] | (p[1] << 8));
}

float Float(const std::uint8_t* p)
{
    const std::uint32_t nBits = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                (static_cast<std::uint32_t>(p[2]) << 16) |
                                (static_cast<std::uint32_t>(p[3]) << 24);
    return std::bit_cast<float>(nBits);
}

CRecordTime Cp56(const std::uint8_t* t)
{
    CRecordTime time;
    const unsigned nMs = Word(t);
    time.nSecond = static_cast<int>(nMs / 1000) % 60;
    time.nMicrosecond = static_cast<int>(nMs % 1000) * 1000;
    time.nMinute = (t[2] & 0x3F) % 60;
    time.nHour = (t[3] & 0x1F) % 24;
    time.nDay = std::clamp(t[4] & 0x1F, 1, 31);
    time.nMonth = std::clamp(t[5] & 0x0F, 1, 12);
    time.nYear = (t[6] & 0x7F) + 2000;
    return time;
}

std::string Text(const char* pszFormat, int n1, int n2 = 0)
{
    char sz[256];
    std::snprintf(sz, sizeof sz, pszFormat, n1, n2);
    return sz;
}

// The name of a relay's end-of-transmission TOO that aborts.
const char* AbortText(std::uint8_t nToo)
{
    switch (nToo)
    {
    case 33:
        return "由控制系统所中止的扰动数据传输的结束";
    case 34:
        return "由继电保护设备(或间隔单元)所中止的扰动数据传输的结束";
    case 36:
        return "由控制系统中止的通道传输的结束";
    case 37:
        return "由继电保护设备(或间隔单元)所中止的通道传输的结束";
    case 39:
        return "由控制系统所中止的带标志的状态变位的传输的结束";
    case 40:
        return "由继电保护设备(或间隔单元)所中止的带标志的状态变位传输的结束";
    default:
        return nullptr;
    }
}

} // namespace

std::int64_t CRecordTime::ToMicroseconds() const
{
    const std::int64_t nDays = DaysFromCivil(nYear, nMonth, nDay);
    const std::int64_t nSeconds = nDays * 86400 + nHour * 3600 + nMinute * 60 + nSecond;
    return nSeconds * 1000000 + nMicrosecond;
}

CRecordTime CRecordTime::FromMicroseconds(std::int64_t nUs)
{
    std::int64_t nSeconds = nUs / 1000000;
    std::int64_t nRest = nUs % 1000000;
    if (nRest < 0)
    {
        nRest += 1000000;
        --nSeconds;
    }
    std::int64_t nDays = nSeconds / 86400;
    std::int64_t nOfDay = nSeconds % 86400;
    if (nOfDay < 0)
    {
        nOfDay += 86400;
        --nDays;
    }
    CRecordTime time;
    CivilFromDays(nDays, time.nYear, time.nMonth, time.nDay);
    time.nHour = static_cast<int>(nOfDay / 3600);
    time.nMinute = static_cast<int>(nOfDay / 60 % 60);
    time.nSecond = static_cast<int>(nOfDay % 60);
    time.nMicrosecond = static_cast<int>(nRest);
    return time;
}

CTransferOrder CDisturbanceTransfer::Start(std::uint16_t nFan, std::uint8_t nFun)
{
    *this = CDisturbanceTransfer();
    m_nWanted = nFan;
    m_nFun = nFun;
    m_eState = LISTING;
    CTransferOrder order;
    Order(24, kTooRequestList, 0, order);
    order.nFan = 0;
    m_lastOrder = order;
    return order;
}

bool CDisturbanceTransfer::Order(std::uint8_t nAsdu, std::uint8_t nToo, std::uint8_t nAcc, CTransferOrder& next)
{
    next.nAsdu = nAsdu;
    next.nToo = nToo;
    next.nFun = m_nFun;
    next.nFan = m_nWanted;
    next.nAcc = nAcc;
    m_lastOrder = next;
    ++m_nAccepted;
    return true;
}

bool CDisturbanceTransfer::Fail(const std::string& strMessage)
{
    m_eState = FAILED;
    m_strMessage = strMessage;
    ++m_nAccepted;
    return false;
}

bool CDisturbanceTransfer::Abort(const std::string& strReason, CTransferOrder& next)
{
    if (!Active())
        return false;
    const bool bSelected = m_eState != LISTING;
    Fail(strReason);
    return bSelected && Order(24, kTooAbortData, 0, next);
}

bool CDisturbanceTransfer::OnAsdu(const std::uint8_t* pAsdu, int nLength, CTransferOrder& next)
{
    if (pAsdu == nullptr || nLength < 7 || !Active() || pAsdu[2] != kCotDisturbance)
        return false;
    switch (pAsdu[0])
    {
    case 23:
        return OnList(pAsdu, nLength, next);
    case 26:
        return OnReady(pAsdu, nLength, next);
    case 27:
        return OnChannelReady(pAsdu, nLength, next);
    case 28:
        return OnTagsReady(pAsdu, nLength, next);
    case 29:
        if (OnTags(pAsdu, nLength))
            ++m_nAccepted;
        return false;
    case 30:
        if (OnValues(pAsdu, nLength))
            ++m_nAccepted;
        return false;
    case 31:
        return OnEnd(pAsdu, nLength, next);
    default:
        return false;
    }
}

bool CDisturbanceTransfer::OnList(const std::uint8_t* a, int n, CTransferOrder& next)
{
    if (m_eState != LISTING)
        return false;
    m_nFun = a[4];
    m_list.clear();
    for (int o = 6; o + 10 <= n; o += 10)
    {
        CDisturbanceListEntry entry;
        entry.nFan = static_cast<std::uint16_t>(Word(a + o));
        entry.nSof = a[o + 2];
        entry.time = Cp56(a + o + 3);
        m_list.push_back(entry);
    }
    if (m_nWanted == 0)
    {
        m_eState = DONE;
        ++m_nAccepted;
        return false;
    }
    const auto found = std::find_if(m_list.begin(), m_list.end(),
                                    [this](const CDisturbanceListEntry& entry) { return entry.nFan == m_nWanted; });
    if (found == m_list.end())
        return Fail(Text("装置的录波表中没有故障序号%d。", m_nWanted));
    m_record.nFun = m_nFun;
    m_record.nFan = m_nWanted;
    m_record.nSof = found->nSof;
    m_record.faultTime = found->time;
    m_eState = SELECTING;
    return Order(24, kTooSelect, 0, next);
}

bool CDisturbanceTransfer::OnReady(const std::uint8_t* a, int n, CTransferOrder& next)
{
    if (m_eState != SELECTING || n < 21 || Word(a + 8) != m_nWanted)
        return false;
    m_record.nNof = static_cast<std::uint16_t>(Word(a + 10));
    m_nChannelCount = a[12];
    m_record.nElements = static_cast<int>(Word(a + 13));
    m_record.nIntervalUs = static_cast<int>(Word(a + 15));
    if (m_nChannelCount == 0 || m_record.nElements == 0 || m_record.nIntervalUs == 0)
        return Fail(Text("装置报告的录波为空(通道数%d, 每通道%d个值)或采样间隔为0。", m_nChannelCount,
                         m_record.nElements));
    // The first sample's time: relative to the fault (before it), or the time of day on the
    // fault's date (the day before when the recording began before midnight).
    const unsigned nMs = Word(a + 17);
    const std::int64_t nFaultUs = m_record.faultTime.ToMicroseconds();
    std::int64_t nStartUs = nFaultUs;
    if (nMs > 60000)
        nStartUs = nFaultUs - static_cast<std::int64_t>(65536 - nMs) * 1000;
    else
    {
        CRecordTime start = m_record.faultTime;
        start.nHour = (a[20] & 0x1F) % 24;
        start.nMinute = (a[19] & 0x3F) % 60;
        start.nSecond = static_cast<int>(nMs / 1000) % 60;
        start.nMicrosecond = static_cast<int>(nMs % 1000) * 1000;
        nStartUs = start.ToMicroseconds();
        constexpr std::int64_t kHalfDayUs = 12LL * 3600 * 1000000;
        if (nStartUs - nFaultUs > kHalfDayUs)
            nStartUs -= 2 * kHalfDayUs;
        else if (nFaultUs - nStartUs > kHalfDayUs)
            nStartUs += 2 * kHalfDayUs;
    }
    m_record.startTime = CRecordTime::FromMicroseconds(nStartUs);
    m_eState = REQUESTING;
    return Order(24, kTooRequestData, 0, next);
}

bool CDisturbanceTransfer::OnTagsReady(const std::uint8_t* a, int n, CTransferOrder& next)
{
    if (m_eState != REQUESTING || n < 10 || Word(a + 8) != m_nWanted)
        return false;
    m_record.tags.clear();
    m_eState = TAGS;
    return Order(24, kTooRequestTags, 0, next);
}

bool CDisturbanceTransfer::OnTags(const std::uint8_t* a, int n)
{
    if (m_eState != TAGS || n < 11 || Word(a + 6) != m_nWanted)
        return false;
    const int nTags = a[8];
    const int nPosition = static_cast<int>(Word(a + 9));
    for (int i = 0; i < nTags && 11 + 3 * i + 3 <= n; ++i)
    {
        const std::uint8_t* t = a + 11 + 3 * i;
        const CDisturbanceTag tag{nPosition, t[0], t[1], t[2]};
        // The same tag twice (an answer that came twice) is one tag.
        const bool bKnown = std::any_of(m_record.tags.begin(), m_record.tags.end(),
                                        [&tag](const CDisturbanceTag& other)
                                        {
                                            return other.nPosition == tag.nPosition && other.nFun == tag.nFun &&
                                                   other.nInf == tag.nInf && other.nDpi == tag.nDpi;
                                        });
        if (!bKnown)
            m_record.tags.push_back(tag);
    }
    return true;
}

bool CDisturbanceTransfer::OnChannelReady(const std::uint8_t* a, int n, CTransferOrder& next)
{
    if ((m_eState != CHANNEL_READY && m_eState != REQUESTING) || n < 23 || Word(a + 8) != m_nWanted)
        return false;
    const std::uint8_t nAcc = a[10];
    auto found = std::find_if(m_record.channels.begin(), m_record.channels.end(),
                              [nAcc](const CDisturbanceChannel& channel) { return channel.nAcc == nAcc; });
    if (found == m_record.channels.end())
    {
        if (static_cast<int>(m_record.channels.size()) >= m_nChannelCount)
            return Fail(Text("装置要传送第%d个通道(ACC %d),多于它报告的通道数。",
                             static_cast<int>(m_record.channels.size()) + 1, nAcc));
        m_record.channels.emplace_back();
        m_abComplete.push_back(0);
        found = m_record.channels.end() - 1;
        m_nRepeats = 0;
    }
    const auto nIndex = static_cast<int>(found - m_record.channels.begin());
    if (nIndex != m_nCurrent)
        m_nRepeats = 0;
    if (m_abComplete[static_cast<std::size_t>(nIndex)] != 0)
    {
        m_abComplete[static_cast<std::size_t>(nIndex)] = 0;
        --m_nChannelsDone;
    }
    m_nCurrent = nIndex;
    found->nAcc = nAcc;
    found->fRatedPrimary = Float(a + 11);
    found->fRatedSecondary = Float(a + 15);
    found->fReferenceFactor = Float(a + 19);
    found->values.assign(static_cast<std::size_t>(m_record.nElements), 0);
    m_abHave.assign(static_cast<std::size_t>(m_record.nElements), 0);
    m_nReceived = 0;
    m_eState = CHANNEL;
    return Order(24, kTooRequestChannel, nAcc, next);
}

bool CDisturbanceTransfer::OnValues(const std::uint8_t* a, int n)
{
    if (m_eState != CHANNEL || n < 14 || Word(a + 8) != m_nWanted)
        return false;
    CDisturbanceChannel& channel = m_record.channels[static_cast<std::size_t>(m_nCurrent)];
    if (a[10] != channel.nAcc)
        return false;
    const int nCount = a[11];
    const int nFirst = static_cast<int>(Word(a + 12));
    ++m_nBlocks;
    for (int i = 0; i < nCount && 14 + 2 * i + 2 <= n; ++i)
    {
        const int nElement = nFirst + i;
        if (nElement >= m_record.nElements)
            break;
        channel.values[static_cast<std::size_t>(nElement)] = static_cast<std::int16_t>(Word(a + 14 + 2 * i));
        if (m_abHave[static_cast<std::size_t>(nElement)] == 0)
        {
            m_abHave[static_cast<std::size_t>(nElement)] = 1;
            ++m_nReceived;
        }
    }
    return true;
}

bool CDisturbanceTransfer::OnEnd(const std::uint8_t* a, int n, CTransferOrder& next)
{
    if (n < 11)
        return false;
    const std::uint8_t nToo = a[6];
    if (const char* pszAbort = AbortText(nToo))
    {
        // The relay gave up (or took an abort that was not ours).
        return Fail(std::string("录波读取中止: 装置报告") + pszAbort + Text("(TOO %d)。", nToo));
    }
    if (Word(a + 8) != m_nWanted)
        return false;
    switch (nToo)
    {
    case 38: // end of the tags
        if (m_eState != TAGS)
            return false;
        m_eState = CHANNEL_READY;
        return Order(25, kTooTagsReceived, 0, next);
    case 35: // end of a channel
    {
        if (m_eState != CHANNEL || a[10] != m_record.channels[static_cast<std::size_t>(m_nCurrent)].nAcc)
            return false;
        const std::uint8_t nAcc = a[10];
        m_eState = CHANNEL_READY;
        const int nMissing = m_record.nElements - m_nReceived;
        if (nMissing == 0)
        {
            m_abComplete[static_cast<std::size_t>(m_nCurrent)] = 1;
            ++m_nChannelsDone;
            return Order(25, kTooChannelReceived, nAcc, next);
        }
        if (m_nRepeats >= kMaxChannelRepeats)
        {
            Fail(Text("通道(ACC %d)的扰动值缺少%d个,重传后仍不完整,录波读取中止。", nAcc, nMissing));
            return Order(24, kTooAbortData, 0, next);
        }
        ++m_nRepeats;
        m_notes.push_back(Text("通道(ACC %d)缺少%d个扰动值,要求装置重传该通道。", nAcc, nMissing));
        return Order(25, kTooChannelNotReceived, nAcc, next);
    }
    case 32: // end of the data
    {
        if (m_eState != CHANNEL_READY)
            return false;
        const int nComplete = m_nChannelsDone;
        if (nComplete != m_nChannelCount || static_cast<int>(m_record.channels.size()) != m_nChannelCount)
        {
            Fail(Text("装置结束了传输, 但只传送了%d个完整通道(应有%d个)。", nComplete, m_nChannelCount));
            return Order(25, kTooDataNotReceived, 0, next);
        }
        m_eState = DONE;
        return Order(25, kTooDataReceived, 0, next);
    }
    default:
        return false;
    }
}

} // namespace relvane
