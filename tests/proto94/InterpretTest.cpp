// The annotation of '94 frames: clock, events, settings, switch inputs, truncated frames and the
// bound of the annotation text.
#include "Proto94TestUtil.h"
#include "common/AnnotationText.h"
#include "proto94/Bcd.h"
#include "proto94/Proto94Codec.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

using namespace relvane;
using relvane::test::Bytes;
using relvane::test::Concat;
using relvane::test::kLongStamp;
using relvane::test::kLongStampText;
using relvane::test::WithCrc;

namespace
{

struct CResult
{
    int nResult;
    std::string strText;
};

CResult Interpret(const Bytes& abFrame, DeviceModel eModel = KLR10)
{
    Proto94Codec codec;
    codec.SetModel(eModel);
    CResult result;
    // An exact-size heap copy, so that the sanitizer build catches a read past the frame.
    const Bytes abCopy = abFrame;
    result.nResult = codec.Interpret(abCopy.data(), static_cast<int>(abCopy.size()), result.strText);
    return result;
}

// B0H: CPU byte, time stamp, then the event type and code just before the checksum.
Bytes EventReport(std::uint8_t nType, std::uint8_t nCode)
{
    return WithCrc(Concat({{0x01, 0xB0, 0x0C, 0x01}, kLongStamp, {nType, nCode}}));
}

// CAH: CPU byte, time stamp, three more bytes, then the event type and code at bytes 16 and 17.
Bytes ExtendedReport(std::uint8_t nType, std::uint8_t nCode)
{
    return WithCrc(Concat({{0x01, 0xCA, 0x0F, 0x01}, kLongStamp, {0x00, 0x00, 0x00, nType, nCode}}));
}

// BDH: three uninterpreted data bytes, then the setting records.
Bytes Settings(const Bytes& abRecords)
{
    return WithCrc(
        Concat({{0x01, 0xBD, static_cast<std::uint8_t>(abRecords.size() + 3), 0x01, 0x00, 0x00}, abRecords}));
}

// BEH: CPU byte, time stamp, then the switch records.
Bytes Switches(const Bytes& abRecords)
{
    return WithCrc(Concat(
        {{0x01, 0xBE, static_cast<std::uint8_t>(abRecords.size() + 10), 0x01}, kLongStamp, abRecords}));
}

std::string SettingsText(const Bytes& abRecords, DeviceModel eModel = KLR10)
{
    return Interpret(Settings(abRecords), eModel).strText;
}

// Puts LC_NUMERIC on a locale whose decimal separator is a comma, as the Qt front end does on a
// German desktop, and restores it afterwards. When no such locale is installed one is compiled
// with localedef into a scratch folder; Active() is false when that fails too.
class CCommaNumericLocale
{
public:
    CCommaNumericLocale()
    {
        const char* pszOld = std::setlocale(LC_NUMERIC, nullptr);
        m_strOld = pszOld != nullptr ? pszOld : "C";
        if (Use("de_DE.UTF-8") || Use("de_DE.utf8") || Use("fr_FR.UTF-8"))
            return;
#ifdef _WIN32
        // Windows names its locales differently, and has no localedef.
        Use("German_Germany.1252");
#else
        char szDir[] = "/tmp/relvane-locale-XXXXXX";
        if (mkdtemp(szDir) == nullptr)
            return;
        m_strDir = szDir;
        const std::string strCommand =
            "localedef -i de_DE -f UTF-8 " + m_strDir + "/de_DE.UTF-8 >/dev/null 2>&1";
        // localedef may exit non-zero on mere warnings; whether the locale loads is what counts.
        [[maybe_unused]] const int nIgnored = std::system(strCommand.c_str());
        const char* pszLocPath = std::getenv("LOCPATH");
        m_bHadLocPath = pszLocPath != nullptr;
        if (m_bHadLocPath)
            m_strOldLocPath = pszLocPath;
        setenv("LOCPATH", m_strDir.c_str(), 1);
        m_bSetLocPath = true;
        Use("de_DE.UTF-8");
#endif
    }
    ~CCommaNumericLocale()
    {
        std::setlocale(LC_NUMERIC, m_strOld.c_str());
#ifndef _WIN32
        if (m_bSetLocPath)
        {
            if (m_bHadLocPath)
                setenv("LOCPATH", m_strOldLocPath.c_str(), 1);
            else
                unsetenv("LOCPATH");
        }
#endif
        if (!m_strDir.empty())
        {
            std::error_code error;
            std::filesystem::remove_all(m_strDir, error);
        }
    }
    CCommaNumericLocale(const CCommaNumericLocale&) = delete;
    CCommaNumericLocale& operator=(const CCommaNumericLocale&) = delete;

    bool Active() const { return m_bActive; }

private:
    bool Use(const char* pszName)
    {
        if (std::setlocale(LC_NUMERIC, pszName) == nullptr)
            return false;
        m_bActive = std::localeconv()->decimal_point[0] == ',';
        if (!m_bActive)
            std::setlocale(LC_NUMERIC, m_strOld.c_str());
        return m_bActive;
    }

    std::string m_strOld;
    std::string m_strDir;
    std::string m_strOldLocPath;
    bool m_bHadLocPath = false;
    bool m_bSetLocPath = false;
    bool m_bActive = false;
};

} // namespace

TEST(DecodeTime, ShortAndLongForms)
{
    CAnnotationText text;
    const std::uint8_t abShort[] = {0x04, 0x20, 0x03, 0x15, 0x08, 0x30, 0x45};
    EXPECT_EQ(Proto94Codec::DecodeTime(abShort, false, text), 1);
    EXPECT_EQ(text.Text(), "2004年03月15日 08:30:45 ");

    CAnnotationText longText;
    EXPECT_EQ(Proto94Codec::DecodeTime(kLongStamp.data(), true, longText), 1);
    EXPECT_EQ(longText.Text(), kLongStampText);
}

TEST(DecodeTime, FieldsAreNotRangeChecked)
{
    CAnnotationText text;
    const std::uint8_t abStamp[] = {0x00, 0x00, 0x1F, 0x00, 0x99, 0xFF, 0x60, 0x05, 0x00};
    Proto94Codec::DecodeTime(abStamp, true, text);
    EXPECT_EQ(text.Text(), "0000年25月00日 99:165:60.005 ");
}

TEST(Interpret, SetClockFrame)
{
    Proto94Codec codec;
    std::uint8_t abOut[Proto94Codec::kMaxFrameLength] = {};
    BuildClockBytes(abOut, 2004, 3, 15, 8, 30, 45);
    const int nLength = codec.BuildFrame(0x81, abOut, 1, 1, 0, nullptr);
    const CResult result = Interpret(Bytes(abOut, abOut + nLength));
    EXPECT_EQ(result.nResult, 1);
    EXPECT_EQ(result.strText, "设置装置时间为：2004年03月15日 08:30:45 ");
}

TEST(Interpret, RelayClock)
{
    const CResult result = Interpret(WithCrc(Concat({{0x01, 0xB7, 0x09}, kLongStamp})));
    EXPECT_EQ(result.nResult, 1);
    EXPECT_EQ(result.strText, kLongStampText);
}

TEST(Interpret, EventReportNamesTheEventAfterTheTime)
{
    EXPECT_EQ(Interpret(EventReport(0x00, 0x08)).strText, kLongStampText + "PT断线");
    EXPECT_EQ(Interpret(EventReport(0x02, 0x80)).strText, kLongStampText + "保护启动");
    EXPECT_EQ(Interpret(ExtendedReport(0x00, 0x80)).strText, kLongStampText + "装置上电");
    EXPECT_EQ(Interpret(ExtendedReport(0x01, 0x01)).strText, kLongStampText + "Ⅰ线永跳出口");
}

TEST(Interpret, UnknownEventGivesTheTimeAlone)
{
    const CResult unknownType = Interpret(EventReport(0x03, 0x08));
    EXPECT_EQ(unknownType.nResult, 1);
    EXPECT_EQ(unknownType.strText, kLongStampText);
    EXPECT_EQ(Interpret(EventReport(0x01, 0x00)).strText, kLongStampText);
    EXPECT_EQ(Interpret(ExtendedReport(0x00, 0xFF)).strText, kLongStampText);
}

TEST(Interpret, EventTypeIsTakenFromTheEndOfTheFrame)
{
    // Two more data bytes: the type and code move with the end of the frame.
    const Bytes abFrame = WithCrc(Concat({{0x01, 0xB0, 0x0E, 0x01}, kLongStamp, {0xAA, 0xBB, 0x00, 0x80}}));
    EXPECT_EQ(Interpret(abFrame).strText, kLongStampText + "装置上电");
}

TEST(Interpret, OtherCodesHaveNothingToSay)
{
    for (const Bytes& abFrame : {Bytes{0x01, 0x83, 0x00, 0x30, 0xF0}, WithCrc({0x01, 0xBA, 0x02, 0x03, 0x06}),
                                 WithCrc(Concat({{0x01, 0xB1, 0x0C, 0x01}, kLongStamp, {0x00, 0x08}}))})
    {
        const CResult result = Interpret(abFrame);
        EXPECT_EQ(result.nResult, -1);
        EXPECT_TRUE(result.strText.empty());
    }
}

TEST(Interpret, ChecksumIsNotLookedAt)
{
    Bytes abFrame = EventReport(0x00, 0x80);
    abFrame.back() ^= 0xFF;
    EXPECT_EQ(Interpret(abFrame).strText, kLongStampText + "装置上电");
}

TEST(DecodeSettingValue, SignAndDecimalPlaces)
{
    EXPECT_DOUBLE_EQ(Proto94Codec::DecodeSettingValue(0x21, 0x50), 1.50);
    EXPECT_DOUBLE_EQ(Proto94Codec::DecodeSettingValue(0xA1, 0x50), -1.50);
    EXPECT_DOUBLE_EQ(Proto94Codec::DecodeSettingValue(0x09, 0x99), 999.0);
    EXPECT_DOUBLE_EQ(Proto94Codec::DecodeSettingValue(0x71, 0x23), 123e-7);
    EXPECT_DOUBLE_EQ(Proto94Codec::DecodeSettingValue(0x80, 0x00), 0.0);
    // Nibbles above 9 are not rejected: F × 100 + F × 10 + F.
    EXPECT_DOUBLE_EQ(Proto94Codec::DecodeSettingValue(0x0F, 0xFF), 1665.0);
}

TEST(Interpret, SettingValueRecords)
{
    EXPECT_EQ(SettingsText({0x04, 0x10, 0x50, 0x21}), "突变量启动定值：1.50\n");
    EXPECT_EQ(SettingsText({0x04, 0x10, 0x50, 0xA1}), "突变量启动定值：-1.50\n");
    EXPECT_EQ(SettingsText({0x04, 0x11, 0x34, 0x12}), "突变量启动定值：1234\n");
    EXPECT_EQ(SettingsText({0x04, 0x11, 0x0B, 0x00}), "突变量启动定值：000B\n");
    // The model picks the name table.
    EXPECT_EQ(SettingsText({0x04, 0x10, 0x50, 0x21}, KTR20), "高压侧额定电压：1.50\n");
    // Unknown code: the value alone.
    EXPECT_EQ(SettingsText({0x00, 0x10, 0x50, 0x21}), "：1.50\n");
    // Several records follow each other.
    EXPECT_EQ(SettingsText({0x03, 0x11, 0x34, 0x12, 0x04, 0x10, 0x50, 0x21}),
              "控制字：1234\n突变量启动定值：1.50\n");
}

TEST(Interpret, SettingValueKeepsItsPointWhateverTheNumericLocale)
{
    const CCommaNumericLocale locale;
    if (!locale.Active())
        GTEST_SKIP() << "no locale with a decimal comma could be installed";
    EXPECT_EQ(SettingsText({0x04, 0x10, 0x50, 0x21}), "突变量启动定值：1.50\n");
    EXPECT_EQ(SettingsText({0x04, 0x10, 0x50, 0xA1}), "突变量启动定值：-1.50\n");
    EXPECT_EQ(SettingsText({0x04, 0x10, 0x23, 0x71}), "突变量启动定值：0.00\n");
    EXPECT_EQ(SettingsText({0x04, 0x10, 0x99, 0x09}), "突变量启动定值：999.00\n");
}

TEST(Interpret, SettingRecordsWithoutValue)
{
    // Kind 1 (3 bytes) and kind 3 (4 bytes) print the name only, run into the next record's text.
    EXPECT_EQ(SettingsText({0x03, 0x08, 0x00, 0x04, 0x10, 0x50, 0x21}), "控制字突变量启动定值：1.50\n");
    EXPECT_EQ(SettingsText({0x03, 0x18, 0x00, 0x00, 0x04, 0x10, 0x50, 0x21}), "控制字突变量启动定值：1.50\n");
    // Kind 2 with variant 2 to 7 takes two bytes.
    EXPECT_EQ(SettingsText({0x03, 0x12, 0x04, 0x10, 0x50, 0x21}), "控制字突变量启动定值：1.50\n");
}

TEST(Interpret, UnknownSettingKindWipesTheSettingsTextSoFar)
{
    EXPECT_EQ(SettingsText({0x03, 0x11, 0x34, 0x12, 0x04, 0x00, 0x07, 0x10, 0x50, 0x21}),
              "零序电抗补偿系数：1.50\n");
    EXPECT_EQ(SettingsText({0x03, 0x11, 0x34, 0x12, 0x04, 0x20}), "");
    EXPECT_EQ(Interpret(Settings({0x04, 0x38})).nResult, 1);
}

TEST(Interpret, SettingsSwitchNamesWithTheModelNotTheEvents)
{
    const Bytes abFrame = Settings({0x04, 0x10, 0x50, 0x21});
    const Bytes abEvent = EventReport(0x02, 0x80);
    EXPECT_EQ(Interpret(abFrame, KLR10).strText, "突变量启动定值：1.50\n");
    EXPECT_EQ(Interpret(abFrame, KTR20).strText, "高压侧额定电压：1.50\n");
    EXPECT_EQ(Interpret(abEvent, KLR10).strText, Interpret(abEvent, KTR20).strText);
}

TEST(DecodeSwitches, RecordsAndStates)
{
    const CResult result = Interpret(Switches({0x01, 0x00, 0x01, 0x02, 0x01, 0x05}));
    EXPECT_EQ(result.nResult, 1);
    EXPECT_EQ(result.strText, kLongStampText + "\n" +
                                  "开关量01:    初始状态-OFF 当前状态-ON\n"
                                  "开关量02:    初始状态-ON 当前状态-开关状态错误\n");
    EXPECT_EQ(Interpret(Switches({0xFF, 0x01, 0x00})).strText,
              kLongStampText + "\n开关量255:    初始状态-ON 当前状态-OFF\n");
}

TEST(DecodeSwitches, CountNotAMultipleOfThreeGivesTimeAndLineFeedOnly)
{
    EXPECT_EQ(Interpret(Switches({0x01, 0x00, 0x01, 0x02})).strText, kLongStampText + "\n");
    EXPECT_EQ(Interpret(Switches({})).strText, kLongStampText + "\n");
}

// Frames shorter than their layout: every field whose bytes are all present is shown, the others
// are left out, and nothing past the received bytes is read (the sanitizer build checks that).
TEST(TruncatedFrames, LengthByteClaimingMoreThanArrived)
{
    // BDH whose length byte 02H wraps to a count of 255; two complete records arrived, a third is cut.
    const Bytes abSettings{0x01, 0xBD, 0x02, 0x01, 0x00, 0x00, 0x03, 0x11, 0x34,
                           0x12, 0x04, 0x10, 0x50, 0x21, 0x07, 0x10, 0x50};
    EXPECT_EQ(Interpret(abSettings).strText, "控制字：1234\n突变量启动定值：1.50\n");
    // BEH whose length byte 00H wraps to 246 switch bytes; one record arrived whole.
    const Bytes abSwitches = Concat({{0x01, 0xBE, 0x00, 0x01}, kLongStamp, {0x03, 0x01, 0x01, 0x04, 0x00}});
    EXPECT_EQ(Interpret(abSwitches).strText, kLongStampText + "\n开关量03:    初始状态-ON 当前状态-ON\n");
}

TEST(TruncatedFrames, ValueBytesMayBeTheChecksumButNotBeyond)
{
    // The record's value bytes lie on the checksum: read as they stand.
    Bytes abFrame{0x01, 0xBD, 0x05, 0x01, 0x00, 0x00, 0x04, 0x10};
    const Bytes abWhole = WithCrc(abFrame);
    const CResult whole = Interpret(abWhole);
    EXPECT_EQ(whole.strText.rfind("突变量启动定值：", 0), 0u);
    // Without the checksum the record is incomplete and left out.
    EXPECT_EQ(Interpret(abFrame).strText, "");
    EXPECT_EQ(Interpret(abFrame).nResult, 1);
}

TEST(TruncatedFrames, TimeStampAndEventShownOnlyWhenPresent)
{
    const Bytes abEvent = EventReport(0x00, 0x80);
    for (std::size_t nLength = 2; nLength < abEvent.size(); ++nLength)
    {
        const Bytes abCut(abEvent.begin(), abEvent.begin() + static_cast<std::ptrdiff_t>(nLength));
        const CResult result = Interpret(abCut);
        EXPECT_EQ(result.nResult, 1) << nLength;
        const bool bStamp = nLength >= 13;
        EXPECT_EQ(result.strText.rfind(kLongStampText, 0) == 0, bStamp) << nLength;
    }
    // Clock frames one byte short of their time stamp show nothing.
    const Bytes abClock = Concat({{0x01, 0x81, 0x07}, {0x04, 0x20, 0x03, 0x15, 0x08, 0x30}});
    EXPECT_EQ(Interpret(abClock).strText, "");
    const Bytes abRelayClock = Concat({{0x01, 0xB7, 0x09}, Bytes(kLongStamp.begin(), kLongStamp.end() - 1)});
    EXPECT_EQ(Interpret(abRelayClock).strText, "");
    // CAH with the time but without its type and code bytes.
    const Bytes abExtended = ExtendedReport(0x00, 0x80);
    EXPECT_EQ(Interpret(Bytes(abExtended.begin(), abExtended.begin() + 17)).strText, kLongStampText);
    EXPECT_EQ(Interpret(Bytes(abExtended.begin(), abExtended.begin() + 18)).strText,
              kLongStampText + "装置上电");
}

TEST(TruncatedFrames, TooShortForACodeByte)
{
    const Bytes abOne{0xB0};
    EXPECT_EQ(Interpret(abOne).nResult, -1);
    std::string strText = "stale";
    Proto94Codec codec;
    EXPECT_EQ(codec.Interpret(nullptr, 0, strText), -1);
    EXPECT_TRUE(strText.empty());
    for (std::uint8_t nCode : {0x81, 0xB0, 0xB7, 0xBD, 0xBE, 0xCA})
    {
        const CResult result = Interpret({0x01, nCode});
        EXPECT_EQ(result.nResult, 1);
        EXPECT_TRUE(result.strText.empty());
    }
}

TEST(AnnotationBound, ManySettingsAreCutAt2047GbkBytes)
{
    // 63 records of a 38-byte name with value: far more than the buffer holds.
    Bytes abRecords;
    for (int i = 0; i < 63; ++i)
        abRecords.insert(abRecords.end(), {88, 0x10, 0x50, 0x21});
    const CResult result = Interpret(Settings(abRecords), KTR20);
    std::string strRecord = "高压侧复压(速断)过流Ⅰ段电流定值：1.50\n";
    std::string strFull;
    for (int i = 0; i < 63; ++i)
        strFull += strRecord;
    ASSERT_GT(GbkLength(strFull), 2047u);
    EXPECT_EQ(result.nResult, 1);
    EXPECT_LE(GbkLength(result.strText), 2047u);
    EXPECT_GE(GbkLength(result.strText), 2046u); // cut at a character boundary, not earlier
    EXPECT_EQ(strFull.compare(0, result.strText.size(), result.strText), 0);
}

TEST(AnnotationBound, ManySwitchesAreCutAt2047GbkBytes)
{
    Bytes abRecords;
    for (int i = 0; i < 81; ++i)
        abRecords.insert(abRecords.end(), {static_cast<std::uint8_t>(i), 0x07, 0x07});
    const CResult result = Interpret(Switches(abRecords));
    EXPECT_EQ(result.nResult, 1);
    EXPECT_LE(GbkLength(result.strText), 2047u);
    EXPECT_GE(GbkLength(result.strText), 2046u);
    EXPECT_EQ(result.strText.rfind(kLongStampText + "\n开关量00:    初始状态-开关状态错误", 0), 0u);
}

TEST(AnnotationBound, AWipeAfterTheCutStartsAfresh)
{
    Bytes abRecords;
    for (int i = 0; i < 61; ++i)
        abRecords.insert(abRecords.end(), {88, 0x10, 0x50, 0x21});
    abRecords.insert(abRecords.end(), {0x00, 0x00, 0x04, 0x10, 0x50, 0x21});
    EXPECT_EQ(SettingsText(abRecords, KTR20), "高压侧额定电压：1.50\n");
}
