#include "events/FrameRecords.h"

#include "common/AnnotationText.h"
#include "iec103/AsduFields.h"
#include "iec103/CompatibleNames.h"
#include "iec103/Iec103FrameScan.h"
#include "proto94/DeviceTables.h"
#include "proto94/Proto94Codec.h"
#include "proto94/Proto94FrameScan.h"

#include <algorithm>
#include <cstdio>

namespace relvane
{
namespace
{

constexpr int kAsduStart = 6;
constexpr int kStampLong = 9;

// The ASDU of a 103 variable frame the relay sent, and its length (the length field bounded by the
// bytes there are); null when the frame is no such frame.
const std::uint8_t* RelayAsdu(const std::uint8_t* pFrame, int nCount, int& nLength)
{
    if (pFrame == nullptr || nCount < kAsduStart + 6 || pFrame[0] != 0x68 || pFrame[3] != 0x68)
        return nullptr;
    if ((pFrame[4] & 0x40) != 0) // a request of the master
        return nullptr;
    nLength = std::min(static_cast<int>(pFrame[1]) - 2, nCount - kAsduStart);
    return nLength >= 6 ? pFrame + kAsduStart : nullptr;
}

std::string TimeText(const CShortTime& time)
{
    char szText[32];
    std::snprintf(szText, sizeof szText, "%02d:%02d:%02d.%03d%s", time.nHour, time.nMinute, time.nSecond,
                  time.nMillisecond, time.bInvalid ? " (无效)" : "");
    return szText;
}

bool Extract103Event(const std::uint8_t* pFrame, int nCount, CEventRow& row)
{
    int nLength = 0;
    const std::uint8_t* pAsdu = RelayAsdu(pFrame, nCount, nLength);
    if (pAsdu == nullptr || (pAsdu[0] != 1 && pAsdu[0] != 2))
        return false;
    const bool bRelative = pAsdu[0] == 2;
    const int nTimeAt = bRelative ? 11 : 7;
    if (nLength < nTimeAt + 4) // DPI and the time at least
        return false;
    row.nProtocol = RECORDS_103;
    row.nCot = pAsdu[2];
    row.nFun = pAsdu[4];
    row.nInf = pAsdu[5];
    if (const char* pszName = InformationName(pAsdu[0], row.nFun, row.nInf, false))
        row.strName = pszName;
    row.nDpi = pAsdu[6] & 0x03;
    row.strState = DoublePointText(row.nDpi);
    if (bRelative)
    {
        row.nRet = pAsdu[7] | pAsdu[8] << 8;
        row.nFan = pAsdu[9] | pAsdu[10] << 8;
    }
    row.strRelayTime = TimeText(DecodeTime32(pAsdu + nTimeAt));
    if (nLength > nTimeAt + 4)
        row.nSin = pAsdu[nTimeAt + 4];
    return true;
}

// B0H: the long stamp at byte 4, type and code the two bytes before the CRC; CAH: the stamp at
// byte 4, type and code at bytes 16 and 17.
bool Extract94Event(const std::uint8_t* pFrame, int nCount, CEventRow& row)
{
    if (pFrame == nullptr || nCount < 4 + kStampLong)
        return false;
    int nTypeAt = 0;
    if (pFrame[1] == 0xB0)
        nTypeAt = nCount - 4;
    else if (pFrame[1] == 0xCA)
        nTypeAt = 16;
    else
        return false;
    if (nTypeAt < 4 + kStampLong || nTypeAt + 1 >= nCount)
        return false;
    row.nProtocol = RECORDS_94;
    CAnnotationText text;
    Proto94Codec::DecodeTime(pFrame + 4, true, text);
    row.strRelayTime = text.Text();
    while (!row.strRelayTime.empty() && row.strRelayTime.back() == ' ')
        row.strRelayTime.pop_back();
    row.nFun = pFrame[nTypeAt];
    row.nInf = pFrame[nTypeAt + 1];
    LookupEventName(pFrame[nTypeAt], pFrame[nTypeAt + 1], row.strName);
    return true;
}

} // namespace

bool ExtractEvent(int nProtocol, const std::uint8_t* pFrame, int nCount, CEventRow& row)
{
    return nProtocol == RECORDS_94 ? Extract94Event(pFrame, nCount, row) : Extract103Event(pFrame, nCount, row);
}

void ExtractMeasurands(int nProtocol, const std::uint8_t* pFrame, int nCount, std::vector<CMeasurandSample>& samples)
{
    char szText[64];
    if (nProtocol == RECORDS_94)
    {
        // B8H: CPU number, then the samples as signed words, low byte first, up to the CRC.
        if (pFrame == nullptr || nCount < 6 || pFrame[1] != 0xB8)
            return;
        const int nEnd = std::min(nCount - 2, 3 + static_cast<int>(pFrame[2]));
        for (int nAt = 4, i = 1; nAt + 1 < nEnd; nAt += 2, ++i)
        {
            CMeasurandSample sample;
            sample.nProtocol = RECORDS_94;
            sample.nPosition = i;
            sample.nRaw = pFrame[nAt] | pFrame[nAt + 1] << 8;
            sample.dValue = static_cast<std::int16_t>(static_cast<std::uint16_t>(sample.nRaw));
            std::snprintf(szText, sizeof szText, "94/B8H/%d", i);
            sample.strKey = szText;
            std::snprintf(szText, sizeof szText, "采样值%d", i);
            sample.strName = szText;
            samples.push_back(std::move(sample));
        }
        return;
    }
    int nLength = 0;
    const std::uint8_t* pAsdu = RelayAsdu(pFrame, nCount, nLength);
    if (pAsdu == nullptr || (pAsdu[0] != 3 && pAsdu[0] != 9))
        return;
    const int nFun = pAsdu[4];
    const int nInf = pAsdu[5];
    // VSQ counts information objects, not measurands: every MEA the ASDU carries is a value.
    for (int nAt = 6, i = 0; nAt + 1 < nLength; nAt += 2, ++i)
    {
        const CMeasurandValue value = DecodeMeasurand(pAsdu[nAt] | pAsdu[nAt + 1] << 8);
        CMeasurandSample sample;
        sample.nProtocol = RECORDS_103;
        sample.nFun = nFun;
        sample.nInf = nInf;
        sample.nPosition = i + 1;
        sample.dValue = value.dFraction;
        sample.nRaw = value.nRaw;
        sample.bOverflow = value.bOverflow;
        sample.bError = value.bError;
        std::snprintf(szText, sizeof szText, "103/%d/%d/%d", nFun, nInf, i + 1);
        sample.strKey = szText;
        const char* pszName = MeasurandName(nFun, nInf, i);
        std::snprintf(szText, sizeof szText, "%d/%d 测量值%d%s%s", nFun, nInf, i + 1, pszName != nullptr ? " " : "",
                      pszName != nullptr ? pszName : "");
        sample.strName = szText;
        samples.push_back(std::move(sample));
    }
}

int DetectRecordProtocol(const std::uint8_t* pFrame, int nCount)
{
    if (pFrame == nullptr || nCount <= 0)
        return -1;
    CScanResult result = ScanIec103Frame(pFrame, nCount, true);
    if (result.eMatch == SCAN_FRAME && result.nLength == nCount && result.bValid)
        return RECORDS_103;
    result = ScanProto94Frame(pFrame, nCount, true);
    if (result.eMatch == SCAN_FRAME && result.nLength == nCount && result.bValid)
        return RECORDS_94;
    return -1;
}

} // namespace relvane
