// The five relay name tables and their lookups.
#include "proto94/DeviceTables.h"

#include "common/AnnotationText.h"

#include <gtest/gtest.h>
#include <string>

using namespace relvane;

namespace
{

struct CTableShape
{
    NameTable eTable;
    int nRows;
    int nFirst;
    int nLast;
};

constexpr CTableShape kShapes[] = {
    {TABLE_COMMON_EVENTS, 195, 0, 230},  {TABLE_KLR10_EVENTS, 245, 1, 255},
    {TABLE_KTR20_EVENTS, 141, 0, 159},   {TABLE_KLR10_SETTINGS, 159, 3, 239},
    {TABLE_KTR20_SETTINGS, 252, 0, 255},
};

std::string Event(std::uint8_t nType, std::uint8_t nCode)
{
    std::string strName = "<none>";
    LookupEventName(nType, nCode, strName);
    return strName;
}

std::string Setting(std::uint8_t nCode, DeviceModel eModel)
{
    const char* pszName = LookupSettingName(nCode, eModel);
    return pszName != nullptr ? pszName : "<none>";
}

} // namespace

TEST(DeviceTables, RowCountsCodeRangesAndEndMarkers)
{
    for (const CTableShape& shape : kShapes)
    {
        SCOPED_TRACE(shape.eTable);
        const CNameRow* pRows = NameTableRows(shape.eTable);
        ASSERT_EQ(NameTableRowCount(shape.eTable), shape.nRows);
        EXPECT_EQ(pRows[0].nCode, shape.nFirst);
        EXPECT_EQ(pRows[shape.nRows - 1].nCode, shape.nLast);
        EXPECT_EQ(pRows[shape.nRows].nCode, -1);
        EXPECT_STREQ(pRows[shape.nRows].pszName, "");
        for (int i = 0; i < shape.nRows; ++i)
        {
            if (i > 0)
            {
                EXPECT_LT(pRows[i - 1].nCode, pRows[i].nCode) << "ascending and unique at row " << i;
            }
            EXPECT_GT(GbkLength(pRows[i].pszName), 0u);
            EXPECT_LE(GbkLength(pRows[i].pszName), 38u) << pRows[i].nCode;
        }
    }
}

TEST(DeviceTables, CommonEventNames)
{
    EXPECT_EQ(Event(0, 0), "装置故障");
    EXPECT_EQ(Event(0, 8), "PT断线");
    EXPECT_EQ(Event(0, 21), "备用");
    EXPECT_EQ(Event(0, 22), "备用");
    EXPECT_EQ(Event(0, 68), "本体轻瓦斯消失");
    EXPECT_EQ(Event(0, 69), "本体轻瓦斯消失");
    EXPECT_EQ(Event(0, 84), "<none>");
    EXPECT_EQ(Event(0, 128), "装置上电");
    EXPECT_EQ(Event(0, 145), "CT、PT自检退出");
    EXPECT_EQ(Event(0, 213), "过负荷告警返回");
    EXPECT_EQ(Event(0, 229), "<none>");
    EXPECT_EQ(Event(0, 230), "保护跳闸失败返回");
}

TEST(DeviceTables, LineProtectionEventNames)
{
    EXPECT_EQ(Event(1, 0), "<none>");
    EXPECT_EQ(Event(1, 1), "Ⅰ线永跳出口");
    EXPECT_EQ(Event(1, 20), "<none>");
    EXPECT_EQ(Event(1, 104), "电流启动(DI和I04)");
    EXPECT_EQ(Event(1, 219), "差动保护Ａ跳出口");
    EXPECT_EQ(Event(1, 255), "综重合闸出口");
}

TEST(DeviceTables, TransformerProtectionEventNames)
{
    EXPECT_EQ(Event(2, 0), "差动保护启动");
    EXPECT_EQ(Event(2, 4), "备用");
    EXPECT_EQ(Event(2, 7), "备用");
    EXPECT_EQ(Event(2, 51), "<none>");
    EXPECT_EQ(Event(2, 80), "低压侧一分支复压(速断)过流Ⅰ段Ⅰ时限");
    EXPECT_EQ(Event(2, 128), "保护启动");
    EXPECT_EQ(Event(2, 159), "备用");
    EXPECT_EQ(Event(2, 160), "<none>");
}

TEST(DeviceTables, UnknownEventTypeNamesNothingAndWritesNothing)
{
    for (int nCode = 0; nCode < 256; ++nCode)
    {
        std::string strName = "untouched";
        EXPECT_EQ(LookupEventName(3, static_cast<std::uint8_t>(nCode), strName), -1);
        EXPECT_EQ(strName, "untouched");
    }
    std::string strName = "untouched";
    EXPECT_EQ(LookupEventName(0xFF, 0, strName), -1);
    EXPECT_EQ(strName, "untouched");
    EXPECT_EQ(LookupEventName(0, 128, strName), 1);
    EXPECT_EQ(strName, "装置上电");
}

TEST(DeviceTables, SettingNamesByModel)
{
    EXPECT_EQ(Setting(0, KLR10), "<none>");
    EXPECT_EQ(Setting(0, KTR20), "控制字1");
    EXPECT_EQ(Setting(4, KLR10), "突变量启动定值");
    EXPECT_EQ(Setting(4, KTR20), "高压侧额定电压");
    EXPECT_EQ(Setting(87, KLR10), "平衡安全系数 1");
    EXPECT_EQ(Setting(189, KLR10), "SW");
    EXPECT_EQ(Setting(233, KLR10), "过负荷电流定值 ");
    EXPECT_EQ(Setting(239, KLR10), "零序反时限指数");
    EXPECT_EQ(Setting(240, KLR10), "<none>");
    EXPECT_EQ(Setting(196, KTR20), "低压侧一分支复压低电压定值");
    EXPECT_EQ(Setting(197, KTR20), "低压侧一分支复压低电压定值");
    EXPECT_EQ(Setting(212, KTR20), "<none>");
    EXPECT_EQ(Setting(221, KTR20), "<none>");
    EXPECT_EQ(Setting(255, KTR20), "备用");
}
