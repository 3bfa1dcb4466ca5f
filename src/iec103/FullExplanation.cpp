// The full explanation of a 103 ASDU body: every field the standard defines, after the annotation.
#include "iec103/FullExplanation.h"

#include "iec103/AsduFields.h"
#include "iec103/CompatibleNames.h"
#include "iec103/RelayText.h"

#include <algorithm>
#include <cstring>

namespace relvane
{
namespace
{

constexpr int kAsduStart = 6;
constexpr int kDisturbanceValuesPerLine = 10;

// Link function codes of IEC 60870-5-2 as the 103 link uses them.
const char* LinkFunctionName(int nFunction, bool bPrimary)
{
    if (bPrimary)
    {
        switch (nFunction)
        {
        case 0:
            return "复位通信单元";
        case 3:
            return "传送数据(发送/确认)";
        case 4:
            return "传送数据(发送/无回答)";
        case 7:
            return "复位帧计数位";
        case 9:
            return "召唤链路状态";
        case 10:
            return "召唤1级用户数据";
        case 11:
            return "召唤2级用户数据";
        default:
            return nullptr;
        }
    }
    switch (nFunction)
    {
    case 0:
        return "确认";
    case 1:
        return "链路忙";
    case 8:
        return "以数据响应请求帧";
    case 9:
        return "无所请求的数据";
    case 11:
        return "以链路状态响应请求帧";
    case 14:
        return "链路服务未工作";
    case 15:
        return "链路服务未完成";
    default:
        return nullptr;
    }
}

// Walks one ASDU of nLength bytes (TYP first). Each field is shown only when all its bytes are there.
class CExplainer
{
public:
    CExplainer(const std::uint8_t* pAsdu, int nLength, bool bFromMaster, CAnnotationText& text)
        : m_pAsdu(pAsdu), m_nLength(nLength), m_bFromMaster(bFromMaster), m_text(text)
    {
    }

    void Run();

private:
    bool Has(int nAt, int nSize = 1) const { return nAt + nSize <= m_nLength; }
    int A(int nAt) const { return m_pAsdu[nAt]; }
    int Word(int nAt) const { return A(nAt) | A(nAt + 1) << 8; }
    double Float(int nAt) const;
    int Typ() const { return A(0); }
    int Cot() const { return A(2); }

    void NameOrNothing(const char* pszName);
    void FunInfLine();
    void FunLine();
    void DoublePointLine(int nAt);
    void Time32Line(int nAt, const char* pszLabel);
    void Time56Line(int nAt, const char* pszLabel);
    void SupplementLine(int nAt);
    void ChannelField(int nAt);
    void ValueTypeField(int nAt);

    void Asdu1();
    void Asdu2();
    void Measurands();
    void Asdu4();
    void Asdu5();
    void ScanNumber();
    void Asdu10();
    void Asdu11();
    int GenericElement(int nAt);
    void GenericValues(int nAt, int nType, int nSize, int nNumber);
    void AppendTime56(int nAt);
    void Asdu20();
    void Asdu21();
    void Asdu23();
    void OrderFields(); // ASDU 24, 25 and 31
    void TovFanAccLine();
    void Asdu26();
    void Asdu27();
    void Asdu29();
    void Asdu30();

    const std::uint8_t* m_pAsdu;
    int m_nLength;
    bool m_bFromMaster;
    CAnnotationText& m_text;
};

double CExplainer::Float(int nAt) const
{
    const std::uint32_t nBits =
        static_cast<std::uint32_t>(A(nAt)) | static_cast<std::uint32_t>(A(nAt + 1)) << 8 |
        static_cast<std::uint32_t>(A(nAt + 2)) << 16 | static_cast<std::uint32_t>(A(nAt + 3)) << 24;
    float fValue = 0.0f;
    std::memcpy(&fValue, &nBits, sizeof fValue);
    return static_cast<double>(fValue);
}

void CExplainer::Run()
{
    switch (Typ())
    {
    case 1:
        Asdu1();
        break;
    case 2:
        Asdu2();
        break;
    case 3:
    case 9:
        Measurands();
        break;
    case 4:
        Asdu4();
        break;
    case 5:
        Asdu5();
        break;
    case 6:
        FunInfLine();
        Time56Line(6, "时间(CP56Time2a): ");
        break;
    case 7:
    case 8:
        ScanNumber();
        break;
    case 10:
        Asdu10();
        break;
    case 11:
        Asdu11();
        break;
    case 20:
        Asdu20();
        break;
    case 21:
        Asdu21();
        break;
    case 23:
        Asdu23();
        break;
    case 24:
    case 25:
    case 31:
        OrderFields();
        break;
    case 26:
        Asdu26();
        break;
    case 27:
        Asdu27();
        break;
    case 28:
        FunLine();
        if (Has(8, 2))
            m_text.AppendFormat("故障序号(FAN): %d\n", Word(8));
        break;
    case 29:
        Asdu29();
        break;
    case 30:
        Asdu30();
        break;
    default:
        break;
    }
}

void CExplainer::NameOrNothing(const char* pszName)
{
    if (pszName != nullptr)
        m_text.AppendFormat(" (%s)", pszName);
}

void CExplainer::FunInfLine()
{
    if (!Has(5))
        return;
    m_text.AppendFormat("功能类型: %d", A(4));
    NameOrNothing(FunctionTypeName(A(4)));
    m_text.AppendFormat("    信息序号: %d", A(5));
    NameOrNothing(InformationName(Typ(), A(4), A(5), m_bFromMaster));
    m_text.Append("\n");
}

// The disturbance transfer does not use INF; its FUN is the relay's own.
void CExplainer::FunLine()
{
    if (!Has(4))
        return;
    m_text.AppendFormat("功能类型: %d", A(4));
    NameOrNothing(FunctionTypeName(A(4)));
    m_text.Append("\n");
}

void CExplainer::DoublePointLine(int nAt)
{
    if (Has(nAt))
        m_text.AppendFormat("双点信息(DPI): %d %s\n", A(nAt) & 0x03, DoublePointText(A(nAt) & 0x03));
}

// Four octets: milliseconds, IV and minutes, SU and hours.
void CExplainer::Time32Line(int nAt, const char* pszLabel)
{
    if (!Has(nAt, 4))
        return;
    const CShortTime time = DecodeTime32(m_pAsdu + nAt);
    m_text.Append(pszLabel);
    m_text.AppendFormat("%2.2d:%2.2d:%2.2d.%3.3d    IV: %d (%s)    SU: %d (%s)\n", time.nHour, time.nMinute,
                        time.nSecond, time.nMillisecond, time.bInvalid ? 1 : 0, time.bInvalid ? "无效" : "有效",
                        time.bSummer ? 1 : 0, time.bSummer ? "夏令时" : "标准时");
}

// Seven octets: the four of the short time, then day of week and day, month, year.
void CExplainer::AppendTime56(int nAt)
{
    const int nMs = Word(nAt);
    const int nIv = A(nAt + 2) >> 7;
    const int nSu = A(nAt + 3) >> 7;
    m_text.AppendFormat("%4.4d-%2.2d-%2.2d %2.2d:%2.2d:%2.2d.%3.3d    星期: %d    IV: %d (%s)    SU: %d (%s)",
                        2000 + (A(nAt + 6) & 0x7F), A(nAt + 5) & 0x0F, A(nAt + 4) & 0x1F, A(nAt + 3) & 0x1F,
                        A(nAt + 2) & 0x3F, nMs / 1000, nMs % 1000, A(nAt + 4) >> 5, nIv,
                        nIv != 0 ? "无效" : "有效", nSu, nSu != 0 ? "夏令时" : "标准时");
}

void CExplainer::Time56Line(int nAt, const char* pszLabel)
{
    if (!Has(nAt, 7))
        return;
    m_text.Append(pszLabel);
    AppendTime56(nAt);
    m_text.Append("\n");
}

// SIN carries the scan number of a general interrogation, or the RII of the command answered.
void CExplainer::SupplementLine(int nAt)
{
    if (!Has(nAt))
        return;
    m_text.AppendFormat("附加信息(SIN): %d", A(nAt));
    if (Cot() == 9)
        m_text.Append(" (总查询的扫描序号)");
    else if (Cot() == 20 || Cot() == 21)
        m_text.Append(" (所认可命令的返回信息标识)");
    m_text.Append("\n");
}

void CExplainer::ChannelField(int nAt)
{
    m_text.AppendFormat("实际通道(ACC): %d", A(nAt));
    NameOrNothing(ActualChannelName(A(nAt)));
}

void CExplainer::ValueTypeField(int nAt)
{
    m_text.AppendFormat("扰动值类型(TOV): %d", A(nAt));
    NameOrNothing(DisturbanceValueTypeName(A(nAt)));
}

void CExplainer::Asdu1()
{
    FunInfLine();
    DoublePointLine(6);
    Time32Line(7, "时间(CP32Time2a): ");
    SupplementLine(11);
}

void CExplainer::Asdu2()
{
    FunInfLine();
    DoublePointLine(6);
    if (Has(7, 4))
        m_text.AppendFormat("相对时间(RET): %d 毫秒    故障序号(FAN): %d\n", Word(7), Word(9));
    Time32Line(11, "时间(CP32Time2a): ");
    SupplementLine(15);
}

// Each MEA: OV in bit 0, ER in bit 1, a reserved bit, then a 13-bit two's-complement fraction of
// full scale, which the relay sets at 1.2 or 2.4 times the rated value. VSQ counts information
// objects, not measurands: every MEA the ASDU carries is shown.
void CExplainer::Measurands()
{
    FunInfLine();
    for (int i = 0; Has(6 + 2 * i, 2) && !m_text.IsFull(); ++i)
    {
        const CMeasurandValue value = DecodeMeasurand(Word(6 + 2 * i));
        m_text.AppendFormat("测量值%d", i + 1);
        if (const char* pszName = MeasurandName(A(4), A(5), i))
            m_text.AppendFormat(" %s", pszName);
        m_text.AppendFormat(
            ": 分数值: %.6f (原始 0x%4.4X)    按1.2倍额定: %.4f倍额定值    按2.4倍额定: %.4f倍额定值"
            "    溢出(OV): %d    差错(ER): %d\n",
            value.dFraction, value.nRaw, value.dFraction * 1.2, value.dFraction * 2.4, value.bOverflow ? 1 : 0,
            value.bError ? 1 : 0);
    }
}

void CExplainer::Asdu4()
{
    FunInfLine();
    if (Has(6, 4))
        m_text.AppendFormat("短路位置(SCL): %g\n", Float(6));
    if (Has(10, 4))
        m_text.AppendFormat("相对时间(RET): %d 毫秒    故障序号(FAN): %d\n", Word(10), Word(12));
    Time32Line(14, "时间(CP32Time2a): ");
}

void CExplainer::Asdu5()
{
    FunInfLine();
    if (!Has(6))
        return;
    m_text.AppendFormat("兼容级别(COL): %d", A(6));
    if (A(6) == 2)
        m_text.Append(" (不使用通用分类服务)");
    else if (A(6) == 3)
        m_text.Append(" (使用通用分类服务)");
    m_text.Append("\n");
    if (!Has(7, 8))
        return;
    char szMaker[9] = {};
    for (int i = 0; i < 8; ++i)
        szMaker[i] = A(7 + i) >= 0x20 && A(7 + i) < 0x7F ? static_cast<char>(A(7 + i)) : '.';
    m_text.AppendFormat("制造厂: \"%s\"\n", szMaker);
    if (!Has(15, 4))
        return;
    const std::uint32_t nSoftware =
        static_cast<std::uint32_t>(Word(15)) | static_cast<std::uint32_t>(Word(17)) << 16;
    m_text.AppendFormat("软件标识: %u (%2.2X %2.2X %2.2X %2.2X)\n", nSoftware, A(15), A(16), A(17), A(18));
}

void CExplainer::ScanNumber()
{
    FunInfLine();
    if (Has(6))
        m_text.AppendFormat("扫描序号(SCN): %d\n", A(6));
}

const char* DataTypeName(int nType)
{
    switch (nType)
    {
    case 0:
        return "无数据";
    case 1:
        return "ASCII字符(OS8)";
    case 2:
        return "成组8位串(BS1)";
    case 3:
        return "无符号整数(UI)";
    case 4:
        return "整数(I)";
    case 5:
        return "无符号浮点数(UF)";
    case 6:
        return "浮点数(F)";
    case 7:
        return "IEEE 754短实数(R32.23)";
    case 8:
        return "IEEE 754实数(R64.53)";
    case 9:
        return "双点信息";
    case 10:
        return "单点信息";
    case 11:
        return "带瞬变和差错的双点信息";
    case 12:
        return "带品质描述词的被测值";
    case 14:
        return "二进制时间";
    case 15:
        return "通用分类标识序号";
    case 16:
        return "相对时间";
    case 17:
        return "功能类型和信息序号";
    case 18:
        return "带时标的报文";
    case 19:
        return "带相对时间的时标报文";
    case 20:
        return "带相对时间的时标的被测值";
    case 21:
        return "外部文本序号";
    case 22:
        return "通用分类回答码";
    case 23:
        return "数据结构";
    case 24:
        return "索引";
    default:
        return nullptr;
    }
}

// NGD and NDE: the number in bits 0 to 5, COUNT in bit 6, CONT in bit 7.
void CExplainer::Asdu10()
{
    FunInfLine();
    if (!Has(7))
        return;
    m_text.AppendFormat("返回信息标识(RII): %d    通用分类数据集数目(NGD): %d    计数器位(COUNT): %d    "
                        "后续状态位(CONT): %d\n",
                        A(6), A(7) & 0x3F, (A(7) >> 6) & 1, A(7) >> 7);
    int nAt = 8;
    for (int i = 1; nAt >= 0 && Has(nAt, 2) && !m_text.IsFull(); ++i)
    {
        m_text.AppendFormat("数据集%d: 组号 %d  条目号 %d    ", i, A(nAt), A(nAt + 1));
        nAt = GenericElement(nAt + 2);
    }
}

void CExplainer::Asdu11()
{
    FunInfLine();
    if (!Has(9))
        return;
    m_text.AppendFormat("返回信息标识(RII): %d    组号 %d  条目号 %d", A(6), A(7), A(8));
    if (Has(10))
        m_text.AppendFormat("    描述元素数目(NDE): %d    计数器位(COUNT): %d    后续状态位(CONT): %d",
                            A(9) & 0x3F, (A(9) >> 6) & 1, A(9) >> 7);
    m_text.Append("\n");
    int nAt = 10;
    for (int i = 1; nAt >= 0 && Has(nAt) && !m_text.IsFull(); ++i)
    {
        m_text.AppendFormat("描述元素%d: ", i);
        nAt = GenericElement(nAt);
    }
}

// KOD, GDD (data type, size, number and CONT) and the data; the offset after it, or -1 when the
// ASDU ends inside it.
int CExplainer::GenericElement(int nAt)
{
    if (!Has(nAt, 4))
    {
        m_text.Append("(不完整)\n");
        return -1;
    }
    const int nType = A(nAt + 1);
    const int nSize = A(nAt + 2);
    const int nNumber = A(nAt + 3) & 0x7F;
    m_text.AppendFormat("描述类别(KOD): %d", A(nAt));
    NameOrNothing(KindOfDescriptionName(A(nAt)));
    m_text.AppendFormat("    数据类型: %d", nType);
    NameOrNothing(DataTypeName(nType));
    m_text.AppendFormat("    宽度: %d    数目: %d", nSize, nNumber);
    if ((A(nAt + 3) & 0x80) != 0)
        m_text.Append("    后续状态位(CONT): 1");
    m_text.Append("\n");
    if (!Has(nAt + 4, nSize * nNumber))
    {
        m_text.Append("    (数据不完整)\n");
        return -1;
    }
    GenericValues(nAt + 4, nType, nSize, nNumber);
    return nAt + 4 + nSize * nNumber;
}

// The data of one element; every byte of it is inside the ASDU. Types and widths without a reading
// of their own are shown in hexadecimal.
void CExplainer::GenericValues(int nAt, int nType, int nSize, int nNumber)
{
    if (nSize * nNumber == 0)
        return;
    m_text.Append("    值:");
    if (nType == 1)
    {
        m_text.Append(" ");
        AppendRelayText(m_text, m_pAsdu + nAt, static_cast<std::size_t>(nSize * nNumber));
        m_text.Append("\n");
        return;
    }
    for (int i = 0; i < nNumber && !m_text.IsFull(); ++i)
    {
        const int nElement = nAt + i * nSize;
        std::uint32_t nBits = 0;
        for (int b = 0; b < nSize && b < 4; ++b)
            nBits |= static_cast<std::uint32_t>(A(nElement + b)) << (8 * b);
        if (nType == 3 && nSize <= 4)
            m_text.AppendFormat(" %u", nBits);
        else if (nType == 4 && nSize <= 4)
        {
            const std::uint32_t nSign = 1u << (8 * nSize - 1);
            m_text.AppendFormat(" %d", static_cast<std::int32_t>((nBits ^ nSign) - nSign));
        }
        else if (nType == 7 && nSize == 4)
            m_text.AppendFormat(" %g", Float(nElement));
        else if (nType == 8 && nSize == 8)
        {
            std::uint64_t nWide = 0;
            for (int b = 0; b < 8; ++b)
                nWide |= static_cast<std::uint64_t>(A(nElement + b)) << (8 * b);
            double dValue = 0.0;
            std::memcpy(&dValue, &nWide, sizeof dValue);
            m_text.AppendFormat(" %g", dValue);
        }
        else if (nType == 9 && nSize == 1)
            m_text.AppendFormat(" %d %s", A(nElement) & 0x03, DoublePointText(A(nElement) & 0x03));
        else if (nType == 10 && nSize == 1)
            m_text.AppendFormat(" %d %s", A(nElement) & 0x01,
                                (A(nElement) & 0x01) != 0 ? "合(ON)" : "分(OFF)");
        else if (nType == 12 && nSize == 2)
        {
            const CMeasurandValue value = DecodeMeasurand(static_cast<int>(nBits));
            m_text.AppendFormat(" %.6f (OV: %d  ER: %d)", value.dFraction, value.bOverflow ? 1 : 0,
                                value.bError ? 1 : 0);
        }
        else if (nType == 14 && nSize == 7)
        {
            m_text.Append(" ");
            AppendTime56(nElement);
        }
        else
        {
            m_text.Append(" ");
            for (int b = 0; b < nSize; ++b)
                m_text.AppendFormat("%2.2X", A(nElement + b));
        }
    }
    m_text.Append("\n");
}

void CExplainer::Asdu20()
{
    FunInfLine();
    if (Has(6))
        m_text.AppendFormat("双命令(DCO): %d %s\n", A(6) & 0x03, DoublePointText(A(6) & 0x03));
    if (Has(7))
        m_text.AppendFormat("返回信息标识(RII): %d\n", A(7));
}

void CExplainer::Asdu21()
{
    FunInfLine();
    if (!Has(7))
        return;
    m_text.AppendFormat("返回信息标识(RII): %d    通用分类标识数目(NOG): %d\n", A(6), A(7));
    for (int i = 0; i < A(7) && Has(8 + 3 * i, 3) && !m_text.IsFull(); ++i)
    {
        const int nAt = 8 + 3 * i;
        m_text.AppendFormat("通用分类标识%d: 组号 %d  条目号 %d    描述类别(KOD): %d", i + 1, A(nAt),
                            A(nAt + 1), A(nAt + 2));
        NameOrNothing(KindOfDescriptionName(A(nAt + 2)));
        m_text.Append("\n");
    }
}

// SOF: TP (tripped), TM (being transmitted), TEST (recorded in test mode), OTEV (started by another
// event than a pick-up). Every entry the ASDU carries is shown, whatever VSQ says.
void CExplainer::Asdu23()
{
    FunLine();
    for (int i = 0; Has(6 + 10 * i, 3) && !m_text.IsFull(); ++i)
    {
        const int nAt = 6 + 10 * i;
        const int nSof = A(nAt + 2);
        m_text.AppendFormat("录波%d: 故障序号(FAN): %d    故障状态(SOF): 0x%2.2X  TP: %d (%s)  TM: %d (%s)  "
                            "TEST: %d (%s)  OTEV: %d (%s)\n",
                            i + 1, Word(nAt), nSof, nSof & 1, (nSof & 1) != 0 ? "跳闸" : "未跳闸",
                            (nSof >> 1) & 1, (nSof & 2) != 0 ? "正在传输" : "等待传输", (nSof >> 2) & 1,
                            (nSof & 4) != 0 ? "测试模式下记录" : "运行中记录", (nSof >> 3) & 1,
                            (nSof & 8) != 0 ? "由其他事件启动" : "由启动(动作)启动");
        Time56Line(nAt + 3, "      时间(CP56Time2a): ");
    }
}

void CExplainer::OrderFields()
{
    FunLine();
    if (!Has(6))
        return;
    m_text.AppendFormat("命令类型(TOO): %d", A(6));
    NameOrNothing(DisturbanceOrderName(A(6)));
    m_text.Append("\n");
    TovFanAccLine();
}

// TOV at 7, FAN at 8 and ACC at 10: the head of most ASDUs of the disturbance transfer.
void CExplainer::TovFanAccLine()
{
    if (!Has(7))
        return;
    ValueTypeField(7);
    if (Has(8, 2))
        m_text.AppendFormat("    故障序号(FAN): %d", Word(8));
    if (Has(10))
    {
        m_text.Append("    ");
        ChannelField(10);
    }
    m_text.Append("\n");
}

void CExplainer::Asdu26()
{
    FunLine();
    if (!Has(7))
        return;
    ValueTypeField(7);
    if (Has(8, 4))
        m_text.AppendFormat("    故障序号(FAN): %d    电网故障序号(NOF): %d", Word(8), Word(10));
    m_text.Append("\n");
    if (Has(12, 5))
        m_text.AppendFormat(
            "通道数目(NOC): %d    每通道信息元素数目(NOE): %d    信息元素间隔(INT): %d 微秒\n", A(12),
            Word(13), Word(15));
    Time32Line(17, "第一个信息元素的时间(CP32Time2a): ");
}

void CExplainer::Asdu27()
{
    FunLine();
    TovFanAccLine();
    if (Has(11, 12))
        m_text.AppendFormat("一次额定值(RPV): %g    二次额定值(RSV): %g    参比因子(RFA): %g\n", Float(11),
                            Float(15), Float(19));
}

void CExplainer::Asdu29()
{
    FunLine();
    if (!Has(9, 2))
        return;
    m_text.AppendFormat("故障序号(FAN): %d    标志数目(NOT): %d    标志位置(TAP): %d\n", Word(6), A(8),
                        Word(9));
    for (int i = 0; i < A(8) && Has(11 + 3 * i, 3) && !m_text.IsFull(); ++i)
    {
        const int nAt = 11 + 3 * i;
        m_text.AppendFormat("标志%d: 功能类型: %d    信息序号: %d", i + 1, A(nAt), A(nAt + 1));
        NameOrNothing(InformationName(1, A(nAt), A(nAt + 1), false));
        m_text.AppendFormat("    双点信息(DPI): %d %s\n", A(nAt + 2) & 0x03,
                            DoublePointText(A(nAt + 2) & 0x03));
    }
}

// SDV: signed 16-bit values, least significant byte first, numbered from NFE.
void CExplainer::Asdu30()
{
    FunLine();
    TovFanAccLine();
    if (!Has(11, 3))
        return;
    const int nNumber = A(11);
    const int nFirst = Word(12);
    m_text.AppendFormat("扰动值数目(NDV): %d    第一个信息元素的序号(NFE): %d\n", nNumber, nFirst);
    for (int i = 0; i < nNumber && Has(14 + 2 * i, 2) && !m_text.IsFull(); ++i)
    {
        if (i % kDisturbanceValuesPerLine == 0)
            m_text.AppendFormat("扰动值(SDV) %d起:", nFirst + i);
        m_text.AppendFormat(" %d", static_cast<std::int16_t>(static_cast<std::uint16_t>(Word(14 + 2 * i))));
        if (i % kDisturbanceValuesPerLine == kDisturbanceValuesPerLine - 1 || i + 1 == nNumber ||
            !Has(16 + 2 * i, 2))
            m_text.Append("\n");
    }
}

} // namespace

bool AppendFullExplanation(const std::uint8_t* pFrame, int nCount, CAnnotationText& text)
{
    if (pFrame == nullptr || nCount <= kAsduStart || pFrame[0] != 0x68)
        return false;
    // The ASDU ends where the length field says (control and address counted), or at the chunk's end.
    const int nLength = std::min(static_cast<int>(pFrame[1]) - 2, nCount - kAsduStart);
    if (nLength < 5)
        return false;
    // The control field bit by bit (FCB and FCV from the master, ACD and DFC from the relay), and
    // the variable structure qualifier.
    const int nControl = pFrame[4];
    const bool bPrimary = (nControl & 0x40) != 0;
    text.AppendFormat("控制域: %2.2XH    PRM: %d    %s: %d    %s: %d    功能码: %d", nControl,
                      bPrimary ? 1 : 0, bPrimary ? "FCB" : "ACD", (nControl >> 5) & 1,
                      bPrimary ? "FCV" : "DFC", (nControl >> 4) & 1, nControl & 0x0F);
    if (const char* pszName = LinkFunctionName(nControl & 0x0F, bPrimary))
        text.AppendFormat(" (%s)", pszName);
    text.AppendFormat("\n可变结构限定词(VSQ): %2.2XH    SQ: %d    数目: %d\n", pFrame[7], pFrame[7] >> 7,
                      pFrame[7] & 0x7F);
    CExplainer(pFrame + kAsduStart, nLength, bPrimary, text).Run();
    return true;
}

} // namespace relvane
