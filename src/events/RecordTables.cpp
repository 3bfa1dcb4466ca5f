#include "events/RecordTables.h"

#include "events/FrameRecords.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace relvane
{

void CRecordTables::Clear(int nTimeBase)
{
    *this = CRecordTables();
    m_nTimeBase = nTimeBase;
    ++m_nRevision;
}

bool CRecordTables::AddFrame(int nProtocol, const std::uint8_t* pFrame, int nCount, double dTime,
                             long long nLogPosition)
{
    bool bAdded = false;
    CEventRow row;
    if (ExtractEvent(nProtocol, pFrame, nCount, row))
    {
        row.nNumber = m_nNextEvent++;
        row.dReceived = dTime;
        row.strReceived = FormatRecordTime(m_nTimeBase, dTime);
        row.nLogPosition = nLogPosition;
        row.abFrame.assign(pFrame, pFrame + nCount);
        if (m_events.size() >= kMaxEvents)
        {
            m_events.pop_front();
            ++m_nDroppedEvents;
        }
        m_events.push_back(std::move(row));
        bAdded = true;
    }
    m_scratch.clear();
    ExtractMeasurands(nProtocol, pFrame, nCount, m_scratch);
    for (const CMeasurandSample& sample : m_scratch)
    {
        auto it = std::find_if(m_series.begin(), m_series.end(),
                               [&sample](const CMeasurandSeries& series) { return series.strKey == sample.strKey; });
        if (it == m_series.end())
        {
            CMeasurandSeries series;
            series.strKey = sample.strKey;
            series.strName = sample.strName;
            series.nProtocol = sample.nProtocol;
            series.nFun = sample.nFun;
            series.nInf = sample.nInf;
            series.nPosition = sample.nPosition;
            m_series.push_back(std::move(series));
            it = m_series.end() - 1;
        }
        if (m_nPoints >= kMaxPoints)
            DropOldestPoint();
        it->points.push_back({dTime, sample.dValue, sample.nRaw, sample.bOverflow, sample.bError, nLogPosition});
        ++m_nPoints;
        bAdded = true;
    }
    if (bAdded)
        ++m_nRevision;
    return bAdded;
}

void CRecordTables::DropOldestPoint()
{
    CMeasurandSeries* pOldest = nullptr;
    for (CMeasurandSeries& series : m_series)
    {
        if (!series.points.empty() && (pOldest == nullptr || series.points.front().dTime < pOldest->points.front().dTime))
            pOldest = &series;
    }
    if (pOldest == nullptr)
        return;
    pOldest->points.pop_front();
    --m_nPoints;
    ++m_nDroppedPoints;
}

std::string FormatRecordTime(int nTimeBase, double dTime)
{
    char szText[48];
    switch (nTimeBase)
    {
    case TIME_WALL:
    {
        const double dWhole = std::floor(dTime);
        const std::time_t nSeconds = static_cast<std::time_t>(dWhole);
        const int nMs = std::min(999, static_cast<int>(std::lround((dTime - dWhole) * 1000.0)));
        const std::tm* pLocal = std::localtime(&nSeconds);
        if (pLocal == nullptr)
            return {};
        std::snprintf(szText, sizeof szText, "%04d-%02d-%02d %02d:%02d:%02d.%03d", pLocal->tm_year + 1900,
                      pLocal->tm_mon + 1, pLocal->tm_mday, pLocal->tm_hour, pLocal->tm_min, pLocal->tm_sec, nMs);
        return szText;
    }
    case TIME_OF_DAY:
    {
        const long long nTotalMs = std::llround(dTime * 1000.0);
        const long long nDays = nTotalMs / 86400000;
        const long long nMs = nTotalMs % 86400000;
        std::snprintf(szText, sizeof szText, "%02lld:%02lld:%02lld.%03lld", nMs / 3600000, nMs / 60000 % 60,
                      nMs / 1000 % 60, nMs % 1000);
        std::string strText = szText;
        if (nDays > 0)
            strText += " +" + std::to_string(nDays) + "d";
        return strText;
    }
    case TIME_RELATIVE:
        std::snprintf(szText, sizeof szText, "%.3fs", dTime);
        return szText;
    default:
        std::snprintf(szText, sizeof szText, "#%lld", std::llround(dTime));
        return szText;
    }
}

} // namespace relvane
