// Annotate: the plain-language description of a 103 frame that the log shows under its bytes.
#include "iec103/CompatibleNames.h"
#include "iec103/Iec103Codec.h"
#include "iec103/RelayText.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace relvane
{
namespace
{

constexpr int kAsduStart = 6;
constexpr const char* kFourBlanks = "    ";
// What the relay means by E5H: a confirmation, or "no data" to a request for user data.
constexpr const char* kSingleAckText = "单个控制字符E5H: 肯定确认或无所请求的数据\n";

const char* CauseName(int nCot, bool bFromMaster)
{
    if (bFromMaster)
    {
        switch (nCot)
        {
        case 8:
            return "时间同步";
        case 9:
            return "总查询(总召唤)的启动";
        case 20:
            return "一般命令";
        case 31:
            return "扰动数据的传输";
        case 40:
            return "通用分类写命令";
        case 42:
            return "通用分类读命令";
        default:
            return nullptr;
        }
    }
    switch (nCot)
    {
    case 1:
        return "自发(突发)";
    case 2:
        return "循环";
    case 3:
        return "复位帧计数位(FCB)";
    case 4:
        return "复位通信单元(CU)";
    case 5:
        return "启动/重新启动";
    case 6:
        return "电源合上";
    case 7:
        return "测试模式";
    case 8:
        return "时间同步";
    case 9:
        return "总查询(总召唤)";
    case 10:
        return "总查询(总召唤)终止";
    case 11:
        return "当地操作";
    case 12:
        return "远方操作";
    case 20:
        return "命令的肯定认可";
    case 21:
        return "命令的否定认可";
    case 31:
        return "扰动数据的传送";
    case 40:
        return "通用分类写命令的肯定认可";
    case 41:
        return "通用分类写命令的否定认可";
    case 42:
        return "对通用分类读命令有效数据响应";
    case 43:
        return "对通用分类读命令无效数据响应";
    case 44:
        return "通用分类写确认";
    default:
        return nullptr;
    }
}

const char* GenericServiceName(int nInf)
{
    switch (nInf)
    {
    case 240:
        return "读全部被定义的组的标题";
    case 241:
        return "读一个组的全部条目的值或属性";
    case 243:
        return "读单个条目的目录";
    case 244:
        return "读单个条目的值或属性";
    case 245:
        return "对通用分类数据的总查询(总召唤)";
    case 248:
        return "写条目";
    case 249:
        return "带确认的写条目";
    case 250:
        return "带执行的写条目";
    case 251:
        return "写条目中止";
    default:
        return "";
    }
}

// The log names the kinds of description up to 10; others stay unnamed.
const char* KodName(int nKod)
{
    const char* pszName = nKod <= 10 ? KindOfDescriptionName(nKod) : nullptr;
    return pszName != nullptr ? pszName : "";
}

const char* DoublePointName(int nValue)
{
    if (nValue == 1)
        return "分      ";
    if (nValue == 2)
        return "合      ";
    return "";
}

float ReadFloat(const std::uint8_t* p)
{
    const std::uint32_t nBits = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                static_cast<std::uint32_t>(p[2]) << 16 |
                                static_cast<std::uint32_t>(p[3]) << 24;
    float fValue = 0.0f;
    std::memcpy(&fValue, &nBits, sizeof fValue);
    return fValue;
}

// Element of s bytes read least significant byte first into 32 bits (bytes past the fourth drop out).
std::int32_t ReadLittle(const std::uint8_t* p, int nSize)
{
    std::uint32_t nValue = 0;
    for (int i = 0; i < nSize && i < 4; ++i)
        nValue |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    return static_cast<std::int32_t>(nValue);
}

// A signed integer (data type 4) travels least significant byte first like every other number of
// the protocol; an element narrower than four bytes carries its sign in its own top bit.
std::int32_t ReadSignedLittle(const std::uint8_t* p, int nSize)
{
    const std::uint32_t nValue = static_cast<std::uint32_t>(ReadLittle(p, nSize));
    if (nSize <= 0 || nSize >= 4)
        return static_cast<std::int32_t>(nValue);
    const std::uint32_t nSignBit = 1u << (8 * nSize - 1);
    return static_cast<std::int32_t>((nValue ^ nSignBit) - nSignBit);
}

// Walks one frame. Every piece first asks whether the chunk reaches its last byte; the first piece
// that is not reached ends the description, so a short chunk yields a prefix of the full text.
class CAnnotator
{
public:
    CAnnotator(const std::uint8_t* pFrame, int nCount, CAnnotationText& text)
        : m_pFrame(pFrame), m_nCount(nCount), m_nRest(nCount - kAsduStart), m_text(text)
    {
    }

    void Run();

private:
    bool Reach(int nAsduIndex) const { return kAsduStart + nAsduIndex < m_nCount; }
    int A(int nAsduIndex) const { return m_pFrame[kAsduStart + nAsduIndex]; }
    int Word(int nAsduIndex) const { return A(nAsduIndex) | A(nAsduIndex + 1) << 8; }
    const std::uint8_t* Ptr(int nAsduIndex) const { return m_pFrame + kAsduStart + nAsduIndex; }

    bool Fun();
    bool InfLine();
    bool InfWide();
    bool InfNarrowGeneric();
    bool Time56Line(int nAt, const char* pszPrefix);
    bool FanAccLine(const char* pszFormat);
    bool FanLine(int nAt);

    void Asdu1();
    void Asdu6();
    void Asdu7();
    void Asdu10();
    void DataSet(const std::uint8_t* q, int nSize, int nNumber);
    void Asdu20();
    void Asdu21();
    void Asdu23();
    void Asdu24();
    void Asdu25();
    void Asdu26();
    void Asdu27();
    void Asdu29();
    void Asdu30();
    void Asdu31();

    const std::uint8_t* m_pFrame;
    int m_nCount;
    int m_nRest; // R: bytes from the ASDU start to the end of the chunk
    CAnnotationText& m_text;
};

void CAnnotator::Run()
{
    const bool bFromMaster = (m_pFrame[4] & 0x40) != 0;
    const int nCot = m_pFrame[8];
    m_text.AppendFormat("链路地址: %d      ", m_pFrame[5]);
    m_text.AppendFormat("ASDU %d      ", m_pFrame[6]);
    m_text.AppendFormat("COT: %d  ", nCot);
    if (const char* pszName = CauseName(nCot, bFromMaster))
        m_text.Append(pszName);
    m_text.Append("\n");
    if (!Reach(3))
        return;
    m_text.AppendFormat("应用服务数据单元公共地址: %d\n", A(3));
    switch (A(0))
    {
    case 1:
        Asdu1();
        break;
    case 6:
        Asdu6();
        break;
    case 7:
        Asdu7();
        break;
    case 10:
        Asdu10();
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
        Asdu24();
        break;
    case 25:
        Asdu25();
        break;
    case 26:
        Asdu26();
        break;
    case 27:
        Asdu27();
        break;
    case 28:
        m_text.Append("带标志的状态变位传输准备就绪\n");
        FanLine(8);
        break;
    case 29:
        Asdu29();
        break;
    case 30:
        Asdu30();
        break;
    case 31:
        Asdu31();
        break;
    default:
        break;
    }
}

bool CAnnotator::Fun()
{
    if (!Reach(4))
        return false;
    m_text.AppendFormat("功能类型(FUN): %d      ", A(4));
    return true;
}

bool CAnnotator::InfLine()
{
    if (!Reach(5))
        return false;
    m_text.AppendFormat("信息序号(INF): %d\n", A(5));
    return true;
}

bool CAnnotator::InfWide()
{
    if (!Reach(5))
        return false;
    m_text.AppendFormat("信息序号(INF): %d      ", A(5));
    return true;
}

bool CAnnotator::InfNarrowGeneric()
{
    if (!Reach(5))
        return false;
    m_text.AppendFormat("信息序号(INF): %d  ", A(5));
    m_text.Append(GenericServiceName(A(5)));
    m_text.Append("\n");
    return true;
}

// Seven-octet time at nAt: ms, minute (whole byte), hour, day, month, year.
bool CAnnotator::Time56Line(int nAt, const char* pszPrefix)
{
    if (!Reach(nAt + 6))
        return false;
    const int nMs = Word(nAt);
    m_text.Append(pszPrefix);
    m_text.AppendFormat("%4.4d年%2.2d月%2.2d日 %2.2d:%2.2d:%2.2d.%3.3d\n", (A(nAt + 6) & 0x7F) + 2000,
                        A(nAt + 5) & 0x0F, A(nAt + 4) & 0x1F, A(nAt + 3) & 0x1F, A(nAt + 2), nMs / 1000,
                        nMs % 1000);
    return true;
}

bool CAnnotator::FanLine(int nAt)
{
    if (!Reach(nAt + 1))
        return false;
    m_text.AppendFormat("故障序号: %d\n", Word(nAt));
    return true;
}

bool CAnnotator::FanAccLine(const char* pszFormat)
{
    if (!Reach(10))
        return false;
    m_text.AppendFormat(pszFormat, Word(8), A(10));
    return true;
}

void CAnnotator::Asdu1()
{
    if (!Fun() || !InfLine() || !Reach(6))
        return;
    m_text.AppendFormat("双点信息(DPI): %d  ", A(6));
    m_text.Append(DoublePointName(A(6)));
    if (!Reach(10))
        return;
    const int nMs = Word(7);
    if (nMs > 60000)
        m_text.AppendFormat("时间: 故障前%d毫秒      ", 65536 - nMs);
    else
        m_text.AppendFormat("时间: %2.2d:%2.2d:%2.2d.%3.3d      ", A(10), A(9), nMs / 1000, nMs % 1000);
    if (!Reach(11))
        return;
    m_text.AppendFormat("附加信息(SIN): %d\n", A(11));
}

void CAnnotator::Asdu6()
{
    if (Fun() && InfLine())
        Time56Line(6, "时间: ");
}

void CAnnotator::Asdu7()
{
    if (!Fun() || !InfWide() || !Reach(6))
        return;
    m_text.AppendFormat("扫描序号(SCN): %d\n", A(6));
}

void CAnnotator::Asdu20()
{
    if (!Fun() || !InfWide() || !Reach(6))
        return;
    m_text.AppendFormat("双命令(SCN): %d  ", A(6));
    m_text.Append(DoublePointName(A(6)));
    if (!Reach(7))
        return;
    m_text.AppendFormat("返回信息标识(RII): %d\n", A(7));
}

void CAnnotator::Asdu10()
{
    if (!Fun() || !InfNarrowGeneric() || !Reach(6))
        return;
    m_text.AppendFormat("返回信息标识(RII): %d      ", A(6));
    if (!Reach(7))
        return;
    m_text.AppendFormat("通用分类数据集数目(NGD): %d\n", A(7) & 0x3F);
    const int nRemaining = m_nRest - 8;
    for (int o = 0; o + 6 <= nRemaining && !m_text.IsFull();)
    {
        const std::uint8_t* q = Ptr(8 + o);
        const int nSize = q[4];
        const int nNumber = q[5];
        const int nLength = nSize * nNumber + 6;
        if (o + nLength >= nRemaining)
            break;
        DataSet(q, nSize, nNumber);
        o += nLength;
    }
}

void CAnnotator::DataSet(const std::uint8_t* q, int nSize, int nNumber)
{
    const int nKod = q[2];
    const int nType = q[3];
    const std::uint8_t* pData = q + 6;
    const bool bValues = nKod == 1 || nKod == 2 || nKod == 3 || nKod == 6;
    if (!bValues && nKod != 5 && nKod != 9 && nKod != 10)
        return;
    m_text.AppendFormat("组号: %d      条目号: %d      ", q[0], q[1]);
    m_text.Append(KodName(nKod));
    m_text.Append(kFourBlanks);
    if (nKod == 5)
    {
        if (nNumber == 2)
            m_text.AppendFormat("%d.%d", ReadLittle(pData, nSize), ReadLittle(pData + nSize, nSize));
    }
    else if (nKod == 9 || nKod == 10)
    {
        AppendRelayText(m_text, pData, static_cast<std::size_t>(nSize * nNumber));
    }
    else
    {
        const std::uint8_t* pEnd = m_pFrame + m_nCount;
        for (int i = 0; i < nNumber && !m_text.IsFull(); ++i)
        {
            const std::uint8_t* e = pData + i * nSize;
            switch (nType)
            {
            case 3:
            {
                char szFormat[32];
                std::snprintf(szFormat, sizeof szFormat, "0x%%%d.%dX  (%%d)", 2 * nSize, 2 * nSize);
                const std::int32_t nValue = ReadLittle(e, nSize);
                m_text.AppendFormat(szFormat, static_cast<std::uint32_t>(nValue), nValue);
                break;
            }
            case 4:
                m_text.AppendFormat("%d", ReadSignedLittle(e, nSize));
                break;
            case 7:
            {
                // The four bytes from the element's start, also when the element is narrower (a
                // width-2 by number-2 real holds its float in the first element); bytes past the
                // chunk count as zero.
                std::uint8_t abFloat[4] = {0, 0, 0, 0};
                const std::ptrdiff_t nLeft = pEnd - e;
                if (nLeft > 0)
                    std::memcpy(abFloat, e, static_cast<std::size_t>(nLeft < 4 ? nLeft : 4));
                m_text.AppendFormat("%f", static_cast<double>(ReadFloat(abFloat)));
                break;
            }
            case 9:
                // Also a width-0 element is read at its start, which lies inside the chunk.
                if (e >= pEnd)
                    break;
                if (e[0] == 1)
                    m_text.Append("分");
                else if (e[0] == 2)
                    m_text.Append("合");
                else
                    m_text.AppendFormat("无效数据  (%d)", e[0]);
                break;
            case 10:
                if (e >= pEnd)
                    break;
                if (e[0] == 0)
                    m_text.Append("分");
                else if (e[0] == 1)
                    m_text.Append("合");
                else
                    m_text.AppendFormat("无效数据  (%d)", e[0]);
                break;
            default:
                break;
            }
            m_text.Append(kFourBlanks);
        }
    }
    m_text.Append("\n");
}

void CAnnotator::Asdu21()
{
    if (!Fun() || !InfNarrowGeneric() || !Reach(6))
        return;
    m_text.AppendFormat("返回信息标识(RII): %d      ", A(6));
    if (!Reach(7))
        return;
    m_text.AppendFormat("通用分类标识数目(NOG): %d\n", A(7));
    const int nInf = A(5);
    if (nInf != 241 && nInf != 243 && nInf != 244)
        return;
    for (int o = 8; o + 3 < m_nRest && !m_text.IsFull(); o += 3)
    {
        if (nInf == 241)
        {
            m_text.AppendFormat("组号: %d      ", A(o));
            m_text.Append(KodName(A(o + 2)));
            m_text.Append("\n");
        }
        else if (nInf == 243)
            m_text.AppendFormat("组号: %d      条目号: %d\n", A(o), A(o + 1));
        else
        {
            m_text.AppendFormat("组号: %d      条目号: %d      ", A(o), A(o + 1));
            m_text.Append(KodName(A(o + 2)));
            m_text.Append("\n");
        }
    }
}

void CAnnotator::Asdu23()
{
    m_text.AppendFormat("共%d个录波\n", A(1));
    for (int o = 6; o + 10 < m_nRest && !m_text.IsFull(); o += 10)
    {
        char szPrefix[40];
        std::snprintf(szPrefix, sizeof szPrefix, "故障序号: %d    时间: ", Word(o));
        Time56Line(o + 3, szPrefix);
    }
}

void CAnnotator::Asdu24()
{
    if (!Reach(6))
        return;
    switch (A(6))
    {
    case 1:
        m_text.Append("故障的选择\n");
        FanLine(8);
        break;
    case 2:
        m_text.Append("请求扰动数据\n");
        break;
    case 3:
        m_text.Append("中止扰动数据\n");
        break;
    case 8:
        m_text.Append("通道的请求\n");
        FanAccLine("故障序号: %d        实际通道序号:%d\n");
        break;
    case 9:
        m_text.Append("通道的中止\n");
        FanAccLine("故障序号: %d        实际通道序号:%d\n");
        break;
    case 16:
        m_text.Append("请求带标志的状态变位\n");
        break;
    case 17:
        m_text.Append("中止带标志的状态变位\n");
        break;
    case 24:
        m_text.Append("请求被记录的扰动表\n");
        break;
    default:
        break;
    }
}

void CAnnotator::Asdu25()
{
    if (!Reach(6))
        return;
    switch (A(6))
    {
    case 64:
        m_text.Append("成功的扰动数据传输\n");
        FanLine(8);
        break;
    case 65:
        m_text.Append("不成功的扰动数据传输\n");
        FanLine(8);
        break;
    case 66:
        m_text.Append("成功地通道传输\n");
        FanAccLine("故障序号: %d        实际通道序号:%d\n");
        break;
    case 67:
        m_text.Append("不成功地通道传输\n");
        FanAccLine("故障序号: %d        实际通道序号:%d\n");
        break;
    case 68:
        m_text.Append("成功地带标志的状态变位传输\n");
        FanLine(8);
        break;
    case 69:
        m_text.Append("不成功地带标志的状态变位传输\n");
        FanLine(8);
        break;
    default:
        break;
    }
}

void CAnnotator::Asdu26()
{
    m_text.Append("扰动数据传输准备就绪\n");
    if (!Reach(11))
        return;
    m_text.AppendFormat("故障序号: %d     电网故障序号: %d\n", Word(8), Word(10));
    if (!Reach(16))
        return;
    m_text.AppendFormat("通道数目: %d    一个通道信息元素的数目: %d    信息元素间隔: %d微秒\n", A(12),
                        Word(13), Word(15));
    if (!Reach(20))
        return;
    const int nMs = Word(17);
    if (nMs > 60000)
        m_text.AppendFormat("录波起始于故障前%d毫秒\n", 65536 - nMs);
    else
        m_text.AppendFormat("录波起始于 %2.2d:%2.2d:%2.2d.%3.3d\n", A(20), A(19), nMs / 1000, nMs % 1000);
}

void CAnnotator::Asdu27()
{
    m_text.Append("被记录的通道传输准备就绪\n");
    if (!FanAccLine("故障序号: %d    实际通道序号: %d\n") || !Reach(14))
        return;
    m_text.AppendFormat("一次额定值: %f     ", static_cast<double>(ReadFloat(Ptr(11))));
    if (!Reach(18))
        return;
    m_text.AppendFormat("二次额定值: %f     ", static_cast<double>(ReadFloat(Ptr(15))));
    if (!Reach(22))
        return;
    m_text.AppendFormat("参比因子: %f\n", static_cast<double>(ReadFloat(Ptr(19))));
}

void CAnnotator::Asdu29()
{
    m_text.Append("带标志的状态变位传输\n");
    if (!Reach(7))
        return;
    m_text.AppendFormat("故障序号: %d    ", Word(6));
    if (!Reach(8))
        return;
    m_text.AppendFormat("带标志的状态变位数目: %d    ", A(8));
    if (!Reach(10))
        return;
    m_text.AppendFormat("标志的位置: %d\n", Word(9));
    for (int o = 11; o + 3 < m_nRest && !m_text.IsFull(); o += 3)
    {
        m_text.AppendFormat("INF: %d    状态: ", A(o + 1));
        if (A(o + 2) == 1)
            m_text.Append("分\n");
        else
            m_text.AppendFormat("不正确,值为 %d\n", A(o + 2));
    }
}

void CAnnotator::Asdu30()
{
    m_text.Append("传输扰动值\n");
    if (!Reach(9))
        return;
    m_text.AppendFormat("故障序号: %d    ", Word(8));
    if (!Reach(10))
        return;
    m_text.AppendFormat("实际通道序号: %d\n", A(10));
    if (!Reach(11))
        return;
    m_text.AppendFormat("每个应用服务数据单元有关扰动值的数目: %d\n", A(11));
    if (!Reach(13))
        return;
    m_text.AppendFormat("应用服务数据单元的第一个信息元素的序号: %d\n", Word(12));
}

void CAnnotator::Asdu31()
{
    if (!Reach(6))
        return;
    switch (A(6))
    {
    case 32:
        m_text.Append("不带中止的扰动数据传输的结束\n");
        break;
    case 33:
        m_text.Append("由控制系统所中止的扰动数据传输的结束\n");
        break;
    case 34:
        m_text.Append("由继电保护设备(或间隔单元)所中止的扰动数据传输的结束\n");
        break;
    case 35:
        m_text.Append("不带中止的通道传输的结束\n");
        break;
    case 36:
        m_text.Append("由控制系统中止的通道传输的结束\n");
        break;
    case 37:
        m_text.Append("由继电保护设备(或间隔单元)所中止的通道传输的结束\n");
        break;
    case 38:
        m_text.Append("不带中止的带标志的状态变位的传输的结束\n");
        break;
    case 39:
        m_text.Append("由控制系统所中止的带标志的状态变位的传输的结束\n");
        break;
    case 40:
        m_text.Append("由继电保护设备(或间隔单元)所中止的带标志的状态变位传输的结束\n");
        break;
    default:
        m_text.Append("传输结束\n");
        break;
    }
    if (!Reach(9))
        return;
    m_text.AppendFormat("故障序号: %d    ", Word(8));
    if (!Reach(10))
        return;
    m_text.AppendFormat("实际通道序号: %d\n", A(10));
}

} // namespace

int Iec103Codec::Annotate(const std::uint8_t* pFrame, int nCount, CAnnotationText& text)
{
    if (CheckSingleAck(pFrame, nCount))
    {
        text.Append(kSingleAckText);
        return 1;
    }
    if (pFrame == nullptr || nCount <= 8)
        return -1;
    CAnnotator(pFrame, nCount, text).Run();
    return 1;
}

} // namespace relvane
