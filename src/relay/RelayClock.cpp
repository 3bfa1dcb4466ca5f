#include "relay/RelayClock.h"

#include "proto94/Bcd.h"

namespace relvane
{

CRelayTime LocalTime(std::int64_t nMs)
{
    return LocalCalendarTime(nMs);
}

std::int64_t LocalTimeToMs(const CRelayTime& time)
{
    // A time the system cannot place reads as the second before the epoch, as before.
    return LocalCalendarTimeToMs(time).value_or(-1000 + time.nMillisecond);
}

CRelayTime CRelayClock::Now(std::int64_t nNowMs) const
{
    return LocalTime(nNowMs + m_nOffsetMs);
}

void CRelayClock::SetTime(const CRelayTime& time, std::int64_t nNowMs)
{
    m_nOffsetMs = LocalTimeToMs(time) - nNowMs;
}

void BuildBcdStamp(const CRelayTime& time, std::uint8_t* pOut)
{
    pOut[0] = EncodeBcd(time.nYear % 100);
    pOut[1] = EncodeBcd(time.nYear / 100);
    pOut[2] = EncodeBcd(time.nMonth);
    pOut[3] = EncodeBcd(time.nDay);
    pOut[4] = EncodeBcd(time.nHour);
    pOut[5] = EncodeBcd(time.nMinute);
    pOut[6] = EncodeBcd(time.nSecond);
    pOut[7] = EncodeBcd(time.nMillisecond % 100);
    pOut[8] = EncodeBcd(time.nMillisecond / 100);
}

CRelayTime DecodeBcdShortStamp(const std::uint8_t* pStamp)
{
    CRelayTime time;
    time.nYear = DecodeBcd(pStamp[0]) + 100 * DecodeBcd(pStamp[1]);
    time.nMonth = DecodeBcd(pStamp[2]);
    time.nDay = DecodeBcd(pStamp[3]);
    time.nHour = DecodeBcd(pStamp[4]);
    time.nMinute = DecodeBcd(pStamp[5]);
    time.nSecond = DecodeBcd(pStamp[6]);
    return time;
}

void BuildCp56(const CRelayTime& time, std::uint8_t* pOut)
{
    const int nMs = time.nSecond * 1000 + time.nMillisecond;
    pOut[0] = static_cast<std::uint8_t>(nMs & 0xFF);
    pOut[1] = static_cast<std::uint8_t>(nMs >> 8);
    pOut[2] = static_cast<std::uint8_t>(time.nMinute & 0x3F);
    pOut[3] = static_cast<std::uint8_t>(time.nHour & 0x1F);
    pOut[4] = static_cast<std::uint8_t>(time.nDay & 0x1F);
    pOut[5] = static_cast<std::uint8_t>(time.nMonth & 0x0F);
    pOut[6] = static_cast<std::uint8_t>(time.nYear % 100);
}

CRelayTime DecodeCp56(const std::uint8_t* pTime)
{
    CRelayTime time;
    const int nMs = pTime[0] | (pTime[1] << 8);
    time.nSecond = nMs / 1000;
    time.nMillisecond = nMs % 1000;
    time.nMinute = pTime[2] & 0x3F;
    time.nHour = pTime[3] & 0x1F;
    time.nDay = pTime[4] & 0x1F;
    time.nMonth = pTime[5] & 0x0F;
    time.nYear = 2000 + (pTime[6] & 0x7F);
    return time;
}

void BuildCp32(const CRelayTime& time, std::uint8_t* pOut)
{
    const int nMs = time.nSecond * 1000 + time.nMillisecond;
    pOut[0] = static_cast<std::uint8_t>(nMs & 0xFF);
    pOut[1] = static_cast<std::uint8_t>(nMs >> 8);
    pOut[2] = static_cast<std::uint8_t>(time.nMinute & 0x3F);
    pOut[3] = static_cast<std::uint8_t>(time.nHour & 0x1F);
}

} // namespace relvane
