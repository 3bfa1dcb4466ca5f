#pragma once

#include "events/RecordRows.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace relvane
{

// One point of a measurand's trend.
struct CTrendPoint
{
    double dTime = 0.0;
    double dValue = 0.0;
    int nRaw = 0;
    bool bOverflow = false;
    bool bError = false;
    long long nLogPosition = -1;
};

// Every sample of one value, in the order they came.
struct CMeasurandSeries
{
    std::string strKey;
    std::string strName;
    int nProtocol = RECORDS_103;
    int nFun = -1;
    int nInf = -1;
    int nPosition = 0;
    std::deque<CTrendPoint> points;
};

// The events and measurands of a session, or of a log read back, in the order the frames came.
// Without widgets: the window's views and the headless runner's export read it. Bounded: beyond
// the limits the oldest rows and points make way, and are counted.
class CRecordTables
{
public:
    static constexpr std::size_t kMaxEvents = 1000000;
    static constexpr std::size_t kMaxPoints = 4000000; // over all series

    // Empties the tables; their times now count on nTimeBase.
    void Clear(int nTimeBase);
    // The events and measurands of one received frame (nProtocol RECORDS_94 or RECORDS_103);
    // true when it added anything.
    bool AddFrame(int nProtocol, const std::uint8_t* pFrame, int nCount, double dTime, long long nLogPosition);

    int TimeBase() const { return m_nTimeBase; }
    const std::deque<CEventRow>& Events() const { return m_events; }
    const std::vector<CMeasurandSeries>& Series() const { return m_series; }
    // Counts every change, so that a view redraws only when there is something new.
    std::uint64_t Revision() const { return m_nRevision; }
    std::size_t DroppedEvents() const { return m_nDroppedEvents; }
    std::size_t DroppedPoints() const { return m_nDroppedPoints; }
    std::size_t PointCount() const { return m_nPoints; }

private:
    void DropOldestPoint();

    int m_nTimeBase = TIME_WALL;
    std::deque<CEventRow> m_events;
    std::vector<CMeasurandSeries> m_series;
    std::vector<CMeasurandSample> m_scratch;
    int m_nNextEvent = 1;
    std::size_t m_nPoints = 0;
    std::size_t m_nDroppedEvents = 0;
    std::size_t m_nDroppedPoints = 0;
    std::uint64_t m_nRevision = 0;
};

// A time of a table as the views and the exports show it: the local date and time to the
// millisecond (TIME_WALL), the time of day (TIME_OF_DAY, a day past midnight counted as "+1d"),
// seconds ("12.345s", TIME_RELATIVE) or the frame's number ("#17", TIME_ORDER).
std::string FormatRecordTime(int nTimeBase, double dTime);

} // namespace relvane
