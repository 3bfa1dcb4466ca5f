#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace relvane
{

// A received frame read back from one paragraph of a log: "[stamp] 接收: 68 0E 0E 68 ... 16 "
// (the stamp only when the log was written with one; "TCP接收: " as well), its bytes in
// hexadecimal or decimal as the log wrote them.
struct CLoggedFrame
{
    std::vector<std::uint8_t> abBytes;
    int nProtocol = -1;      // RECORDS_94 or RECORDS_103: the frame's check holds for it; -1 neither
    int nStampForm = 0;      // the log stamp's form: 0 none, 1 time of day, 2 since connect, 3 since previous
    std::string strStamp;    // the stamp without its brackets
    double dStampSeconds = 0.0; // time of day, seconds since connecting, or the interval (seconds)
};

// True when the paragraph is a received frame's entry. Bytes are read as hexadecimal pairs, or as
// decimal numbers where a three-digit token shows it; where both readings are possible, the one
// whose frame check holds wins (hexadecimal when neither does). Frames logged as garbled ("CRC错",
// "校验和出错") are not received frames.
bool ReadLoggedFrame(std::string_view strParagraph, CLoggedFrame& frame);

// The time base and times of frames read back from one log, in order: the stamps of the log's
// form where every frame has one, else the frame's number.
class CLoggedTimes
{
public:
    // The time of the next frame; strText is what the event list shows as "time received".
    double Next(const CLoggedFrame& frame, std::string& strText);
    int TimeBase() const { return m_nTimeBase; }

private:
    int m_nTimeBase = -1; // fixed by the first frame
    int m_nFrames = 0;
    double m_dLast = 0.0;
    double m_dDayOffset = 0.0;
};

} // namespace relvane
