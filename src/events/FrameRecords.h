#pragma once

#include "events/RecordRows.h"

#include <cstdint>
#include <vector>

namespace relvane
{

// Reads events and measurands out of one received frame with the decoders the log's annotation
// uses. Only the protocol fields are set; number, times and log position are the caller's.
// Nothing is read past nCount, nor past the frame's own length field.

// True with row filled for a 103 ASDU 1 or 2 from the relay, or a '94 B0H or CAH report.
bool ExtractEvent(int nProtocol, const std::uint8_t* pFrame, int nCount, CEventRow& row);
// Appends one sample per value of a 103 ASDU 3 or 9 from the relay, or of a '94 B8H answer.
void ExtractMeasurands(int nProtocol, const std::uint8_t* pFrame, int nCount,
                       std::vector<CMeasurandSample>& samples);
// The protocol of a whole frame whose check is good (FT1.2 checksum or '94 CRC); -1 for none.
int DetectRecordProtocol(const std::uint8_t* pFrame, int nCount);

} // namespace relvane
