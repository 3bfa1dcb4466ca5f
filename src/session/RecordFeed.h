#pragma once

#include "events/RecordTables.h"
#include "session/IReceivedFrameObserver.h"

class QTextDocument;

namespace relvane
{

// Fills the event and measurand tables from the frames a session receives, or from the received
// frames of a log read back. The tables' times are the wall clock for a live session; a log read
// back has only what its stamps say (see CLoggedTimes), and frames received after it continue on
// that time base.
class CRecordFeed : public IReceivedFrameObserver
{
public:
    void OnReceivedFrame(int nMode, const std::uint8_t* pFrame, int nLength, const CChannelTime& time,
                         long long nLogPosition) override;

    // Empties the tables for a new live session.
    void Clear();
    // Replaces the tables with the received frames of the document (every paragraph that is a
    // received frame's entry, its bytes read back); returns how many frames it read.
    int ReadLog(const QTextDocument& document);

    const CRecordTables& Tables() const { return m_tables; }

private:
    double TimeOnBase(const CChannelTime& time);

    CRecordTables m_tables;
    double m_dLast = 0.0;       // the latest time added
    double m_dDayOffset = 0.0;  // TIME_OF_DAY: days passed since the log's first stamp
};

} // namespace relvane
