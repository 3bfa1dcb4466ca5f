#pragma once

#include "transport/ChannelTime.h"

#include <string>
#include <string_view>

namespace relvane
{

// Forms of the time stamp put before each log entry (off unless the user picks one).
enum StampForm : int
{
    STAMP_OFF = 0,
    STAMP_TIME_OF_DAY = 1,    // "[12:34:56.789] "
    STAMP_SINCE_CONNECT = 2,  // "[12.345s] ": seconds since the line was connected
    STAMP_SINCE_PREVIOUS = 3, // "[+15ms] ": milliseconds since the previous frame
};

// Builds the time stamps of log entries from the times the channels took.
class CLogStamp
{
public:
    void SetForm(int nForm)
    {
        m_nForm = (nForm >= STAMP_OFF && nForm <= STAMP_SINCE_PREVIOUS) ? nForm : STAMP_OFF;
    }
    int Form() const { return m_nForm; }
    // The moment "seconds since connecting" counts from (a port opened, a relay connected).
    void MarkConnected(const CChannelTime& time) { m_connected = time; }

    // The entry's text with the stamp in the chosen form put at its line start (after any
    // leading "\r\n"); the text unchanged while stamps are off. bFrame: an entry that a frame
    // completes, which becomes the previous frame for the next stamp.
    std::string Stamp(std::string_view strText, const CChannelTime& time, bool bFrame);

    // The same, in the capture's form: date and time of day with milliseconds.
    static std::string StampWithDate(std::string_view strText, const CChannelTime& time);
    // "[12:34:56.789] " (local time), with the date in front when asked.
    static std::string TimeOfDay(std::int64_t nWallUs, bool bDate);

private:
    int m_nForm = STAMP_OFF;
    CChannelTime m_connected;
    CChannelTime m_previousFrame;
};

} // namespace relvane
