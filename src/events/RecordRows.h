#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace relvane
{

// What the event list and the measurand trends keep of a received frame. Protocol fields a frame
// does not carry are -1 (numbers) or empty (texts).

enum RecordProtocol : int
{
    RECORDS_94 = 0,
    RECORDS_103 = 1,
};

// One event: a 103 ASDU 1 or 2, or a '94 event report (B0H, CAH; their event type and code stand
// in the FUN and INF columns).
struct CEventRow
{
    int nNumber = 0; // order of arrival, from 1
    int nProtocol = RECORDS_103;
    std::string strRelayTime; // the time the relay put in the frame
    std::string strReceived;  // when the frame came, as the clock or the log's stamp gave it
    double dReceived = 0.0;   // the same on the table's time base (see CRecordTime)
    int nFun = -1;
    int nInf = -1;
    std::string strName;
    int nDpi = -1;
    std::string strState; // the DPI as text
    int nSin = -1;
    int nFan = -1; // fault number (ASDU 2)
    int nRet = -1; // relative time in ms (ASDU 2)
    int nCot = -1;
    long long nLogPosition = -1; // where the frame's entry starts in the log; -1 unknown
    std::vector<std::uint8_t> abFrame; // the frame, to find it again in the log
};

// One value of a measurand frame: 103 ASDU 3 or 9 (the fraction of full scale, as received), or
// a sample of the '94 answer B8H (the signed word as received).
struct CMeasurandSample
{
    std::string strKey;  // the same for every sample of one value
    std::string strName; // what the trend and the export call it
    int nProtocol = RECORDS_103;
    int nFun = -1;
    int nInf = -1;
    int nPosition = 0; // from 1, in the frame
    double dTime = 0.0; // on the table's time base
    std::string strReceived;
    double dValue = 0.0;
    int nRaw = 0;
    bool bOverflow = false;
    bool bError = false;
    long long nLogPosition = -1;
};

// How the times of a table count. Live sessions use the wall clock; a saved log has only what its
// stamps say, or nothing but the order of its frames.
enum RecordTimeBase : int
{
    TIME_WALL = 0,     // seconds since 1970 (UTC)
    TIME_OF_DAY = 1,   // seconds since the midnight of the log's first stamp (may pass 86400)
    TIME_RELATIVE = 2, // seconds since the line was connected, or since the first frame
    TIME_ORDER = 3,    // the number of the frame in the log
};

} // namespace relvane
