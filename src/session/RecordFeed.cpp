#include "session/RecordFeed.h"

#include "events/LoggedFrame.h"
#include "session/LogDocument.h"
#include "session/SessionCommands.h"

#include <QDateTime>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <vector>

namespace relvane
{
namespace
{

constexpr double kSecondsPerDay = 86400.0;

} // namespace

void CRecordFeed::OnReceivedFrame(int nMode, const std::uint8_t* pFrame, int nLength, const CChannelTime& time,
                                  long long nLogPosition)
{
    int nProtocol = -1;
    if (nMode == MODE_94)
        nProtocol = RECORDS_94;
    else if (nMode == MODE_103)
        nProtocol = RECORDS_103;
    else
        return;
    m_tables.AddFrame(nProtocol, pFrame, nLength, TimeOnBase(time), nLogPosition);
}

double CRecordFeed::TimeOnBase(const CChannelTime& time)
{
    const std::int64_t nWallUs = time.IsSet() ? time.nWallUs : CChannelTime::Now().nWallUs;
    double dTime = static_cast<double>(nWallUs) / 1e6;
    switch (m_tables.TimeBase())
    {
    case TIME_WALL:
        break;
    case TIME_OF_DAY:
    {
        const QTime local = QDateTime::fromMSecsSinceEpoch(nWallUs / 1000).time();
        dTime = local.msecsSinceStartOfDay() / 1000.0 + m_dDayOffset;
        if (dTime < m_dLast - kSecondsPerDay / 2)
        {
            m_dDayOffset += kSecondsPerDay;
            dTime += kSecondsPerDay;
        }
        break;
    }
    default:
        // Stamps that count from a connection or a frame number: a live frame has neither, so
        // it goes after the last one read back.
        dTime = m_dLast + 1.0;
        break;
    }
    m_dLast = std::max(m_dLast, dTime);
    return dTime;
}

void CRecordFeed::Clear()
{
    m_tables.Clear(TIME_WALL);
    m_dLast = 0.0;
    m_dDayOffset = 0.0;
}

int CRecordFeed::ReadLog(const QTextDocument& document)
{
    struct CRead
    {
        CLoggedFrame frame;
        double dTime = 0.0;
        long long nPosition = 0;
    };
    std::vector<CRead> reads;
    CLoggedTimes times;
    const QString strPrefix = QStringLiteral("接收: ");
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
    {
        const QString strText = block.text();
        // Most paragraphs are annotations or sent frames: look before converting.
        const qsizetype nAt = strText.indexOf(strPrefix);
        if (nAt < 0 || nAt > 40)
            continue;
        CRead read;
        if (!ReadLoggedFrame(CLogDocument::LogText(strText).toStdString(), read.frame) || read.frame.nProtocol < 0)
            continue;
        std::string strStamp;
        read.dTime = times.Next(read.frame, strStamp);
        read.nPosition = block.position();
        reads.push_back(std::move(read));
    }
    m_tables.Clear(times.TimeBase() < 0 ? TIME_ORDER : times.TimeBase());
    m_dLast = 0.0;
    m_dDayOffset = 0.0;
    for (const CRead& read : reads)
    {
        m_tables.AddFrame(read.frame.nProtocol, read.frame.abBytes.data(), static_cast<int>(read.frame.abBytes.size()),
                          read.dTime, read.nPosition);
        m_dLast = std::max(m_dLast, read.dTime);
    }
    if (m_tables.TimeBase() == TIME_OF_DAY)
        m_dDayOffset = std::floor(m_dLast / kSecondsPerDay) * kSecondsPerDay;
    return static_cast<int>(reads.size());
}

} // namespace relvane
