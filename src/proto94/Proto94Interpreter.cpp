// The '94 response interpreter.
//
// Truncated frames: Interpret never reads beyond nLength. Each field (the 81H label with its time,
// a time stamp, an event name, one setting record, one switch record) is shown only when every
// byte it reads lies within the received bytes; the first incomplete setting or switch record
// ends its list. The result stays what the code byte gives (1 for 81H, B0H, B7H, BDH, BEH, CAH),
// so a frame too short for any of its fields gets result 1 with an empty text; a frame of fewer
// than 2 bytes has no code byte and gets -1.
#include "proto94/Bcd.h"
#include "proto94/DeviceTables.h"
#include "proto94/Proto94Codec.h"

#include <charconv>

namespace relvane
{
namespace
{

constexpr int kStampShort = 7;
constexpr int kStampLong = 9;

bool Has(int nLength, int nFirst, int nCount)
{
    return nFirst >= 0 && nFirst + nCount <= nLength;
}

void AppendEventName(const std::uint8_t* pFrame, int nLength, int nTypeAt, CAnnotationText& text)
{
    if (!Has(nLength, nTypeAt, 2))
        return;
    std::string strName;
    if (LookupEventName(pFrame[nTypeAt], pFrame[nTypeAt + 1], strName) > 0)
        text.Append(strName);
}

// The setting value as "%.2f" prints it in the C locale. printf follows LC_NUMERIC, which the Qt
// front end sets from the user's environment; a decimal comma there would change the log text.
std::string FormatValue(double dValue)
{
    char abDigits[64];
    const auto result =
        std::to_chars(abDigits, abDigits + sizeof abDigits, dValue, std::chars_format::fixed, 2);
    return std::string(abDigits, result.ptr);
}

const char* SwitchState(std::uint8_t nState)
{
    if (nState == 0)
        return "OFF";
    if (nState == 1)
        return "ON";
    return "开关状态错误";
}

} // namespace

int Proto94Codec::DecodeTime(const std::uint8_t* pStamp, bool bLong, CAnnotationText& text)
{
    const int nYear = DecodeBcd(pStamp[0]) + 100 * DecodeBcd(pStamp[1]);
    const int nMonth = DecodeBcd(pStamp[2]);
    const int nDay = DecodeBcd(pStamp[3]);
    const int nHour = DecodeBcd(pStamp[4]);
    const int nMinute = DecodeBcd(pStamp[5]);
    const int nSecond = DecodeBcd(pStamp[6]);
    if (!bLong)
    {
        text.AppendFormat("%.4d年%.2d月%.2d日 %.2d:%.2d:%.2d ", nYear, nMonth, nDay, nHour, nMinute, nSecond);
        return 1;
    }
    const int nMillis = DecodeBcd(pStamp[7]) + 100 * DecodeBcd(pStamp[8]);
    text.AppendFormat("%.4d年%.2d月%.2d日 %.2d:%.2d:%.2d.%.3d ", nYear, nMonth, nDay, nHour, nMinute, nSecond,
                      nMillis);
    return 1;
}

double Proto94Codec::DecodeSettingValue(std::uint8_t nHigh, std::uint8_t nLow)
{
    static constexpr double kPowers[8] = {1.0, 10.0, 100.0, 1000.0, 1e4, 1e5, 1e6, 1e7};
    int nMagnitude = (nHigh & 0x0F) * 100 + (nLow >> 4) * 10 + (nLow & 0x0F);
    if (nHigh & 0x80)
        nMagnitude = -nMagnitude;
    return nMagnitude / kPowers[(nHigh >> 4) & 7];
}

void Proto94Codec::DecodeSettings(const std::uint8_t* pRecords, std::uint8_t nCount, int nAvailable,
                                  CAnnotationText& text) const
{
    // Built apart so that a record of an unknown kind can wipe exactly the settings text.
    CAnnotationText settings;
    DecodeSettingRecords(pRecords, nCount, nAvailable, settings);
    text.Append(settings.Text());
}

void Proto94Codec::DecodeSettingRecords(const std::uint8_t* pRecords, std::uint8_t nCount, int nAvailable,
                                        CAnnotationText& text) const
{
    int p = 0;
    while (p < nCount)
    {
        if (pRecords == nullptr || !Has(nAvailable, p, 2))
            return;
        const std::uint8_t nFormat = pRecords[p + 1];
        const int nKind = (nFormat >> 3) & 7;
        const int nVariant = nFormat & 7;
        const bool bValue = nKind == 2 && (nVariant == 0 || nVariant == 1);
        if (bValue && !Has(nAvailable, p, 4))
            return;
        if (const char* pszName = LookupSettingName(pRecords[p], m_eModel))
            text.Append(pszName);
        switch (nKind)
        {
        case 1:
            p += 3;
            break;
        case 2:
            if (nVariant == 0)
            {
                text.Append("：" + FormatValue(DecodeSettingValue(pRecords[p + 3], pRecords[p + 2])) + "\n");
                p += 4;
            }
            else if (nVariant == 1)
            {
                text.AppendFormat("：%.4X\n", pRecords[p + 3] * 256 + pRecords[p + 2]);
                p += 4;
            }
            else
                p += 2;
            break;
        case 3:
            p += 4;
            break;
        default: // kinds 0 and 4 to 7
            text = CAnnotationText();
            p += 2;
            break;
        }
    }
}

void Proto94Codec::DecodeSwitches(const std::uint8_t* pRecords, std::uint8_t nCount, int nAvailable,
                                  CAnnotationText& text)
{
    if (nCount == 0 || nCount % 3 != 0)
        return;
    for (int p = 0; p < nCount; p += 3)
    {
        if (pRecords == nullptr || !Has(nAvailable, p, 3))
            return;
        text.AppendFormat("开关量%.2d:    初始状态-%s 当前状态-%s\n", pRecords[p],
                          SwitchState(pRecords[p + 1]), SwitchState(pRecords[p + 2]));
    }
}

int Proto94Codec::Interpret(const std::uint8_t* pFrame, int nLength, std::string& strText) const
{
    strText.clear();
    if (pFrame == nullptr || nLength < 2)
        return -1;
    CAnnotationText text;
    switch (pFrame[1])
    {
    case 0x81:
        if (Has(nLength, 3, kStampShort))
        {
            text.Append("设置装置时间为：");
            DecodeTime(pFrame + 3, false, text);
        }
        break;
    case 0xB0:
        if (Has(nLength, 4, kStampLong))
            DecodeTime(pFrame + 4, true, text);
        AppendEventName(pFrame, nLength, nLength - 4, text);
        break;
    case 0xB7:
        if (Has(nLength, 3, kStampLong))
            DecodeTime(pFrame + 3, true, text);
        break;
    case 0xBD:
        if (Has(nLength, 2, 1))
        {
            const auto nCount = static_cast<std::uint8_t>(pFrame[2] - 3);
            const int nAvailable = nLength > 6 ? nLength - 6 : 0;
            DecodeSettings(nAvailable > 0 ? pFrame + 6 : nullptr, nCount, nAvailable, text);
        }
        break;
    case 0xBE:
        if (Has(nLength, 4, kStampLong))
        {
            DecodeTime(pFrame + 4, true, text);
            text.Append("\n");
            const auto nCount = static_cast<std::uint8_t>(pFrame[2] - 10);
            const int nAvailable = nLength - 13;
            DecodeSwitches(nAvailable > 0 ? pFrame + 13 : nullptr, nCount, nAvailable, text);
        }
        break;
    case 0xCA:
        if (Has(nLength, 4, kStampLong))
            DecodeTime(pFrame + 4, true, text);
        AppendEventName(pFrame, nLength, 16, text);
        break;
    default:
        return -1;
    }
    strText = text.Text();
    return 1;
}

} // namespace relvane
