// The compatible range of the 103 standard: one numbering shared by the four protection function
// types, so one table serves them all.
#include "iec103/CompatibleNames.h"

#include <cstddef>
#include <iterator>

namespace relvane
{
namespace
{

struct CNumberName
{
    int nNumber;
    const char* pszName;
};

template <std::size_t N> const char* Find(const CNumberName (&table)[N], int nNumber)
{
    for (const CNumberName& entry : table)
    {
        if (entry.nNumber == nNumber)
            return entry.pszName;
    }
    return nullptr;
}

// System functions: the cause of an identification (ASDU 5).
const CNumberName kIdentificationNames[] = {
    {2, "复位帧计数位"},
    {3, "复位通信单元"},
    {4, "启动/重新启动"},
    {5, "电源合上"},
};

const CNumberName kMonitorNames[] = {
    // Status indications.
    {16, "自动重合闸投入"},
    {17, "远方保护投入"},
    {18, "保护投入"},
    {19, "LED复归"},
    {20, "监视方向闭锁"},
    {21, "测试模式"},
    {22, "当地参数设置"},
    {23, "特性1"},
    {24, "特性2"},
    {25, "特性3"},
    {26, "特性4"},
    {27, "辅助输入1"},
    {28, "辅助输入2"},
    {29, "辅助输入3"},
    {30, "辅助输入4"},
    // Supervision indications.
    {32, "测量值监视I"},
    {33, "测量值监视U"},
    {35, "相序监视"},
    {36, "跳闸回路监视"},
    {37, "I>>后备保护动作"},
    {38, "电压互感器熔断器故障"},
    {39, "远方保护故障"},
    {46, "组警告"},
    {47, "组告警"},
    // Earth-fault indications.
    {48, "接地故障L1"},
    {49, "接地故障L2"},
    {50, "接地故障L3"},
    {51, "正向接地故障(线路)"},
    {52, "反向接地故障(母线)"},
    // Fault indications.
    {64, "启动L1"},
    {65, "启动L2"},
    {66, "启动L3"},
    {67, "启动N"},
    {68, "总跳闸"},
    {69, "跳闸L1"},
    {70, "跳闸L2"},
    {71, "跳闸L3"},
    {72, "I>>后备跳闸"},
    {73, "故障定位X(欧姆)"},
    {74, "正向故障(线路)"},
    {75, "反向故障(母线)"},
    {76, "远方保护信号发出"},
    {77, "远方保护信号接收"},
    {78, "区段1"},
    {79, "区段2"},
    {80, "区段3"},
    {81, "区段4"},
    {82, "区段5"},
    {83, "区段6"},
    {84, "总启动"},
    {85, "断路器失灵"},
    {86, "测量系统L1跳闸"},
    {87, "测量系统L2跳闸"},
    {88, "测量系统L3跳闸"},
    {89, "测量系统E跳闸"},
    {90, "I>跳闸"},
    {91, "I>>跳闸"},
    {92, "IN>跳闸"},
    {93, "IN>>跳闸"},
    // Auto-reclosure indications.
    {128, "重合闸合断路器"},
    {129, "长时重合闸合断路器"},
    {130, "重合闸闭锁"},
    // Measurands.
    {144, "测量值I"},
    {145, "测量值I,U"},
    {146, "测量值I,U,P,Q"},
    {147, "测量值IN,UEN"},
    {148, "测量值IL1,2,3, UL1,2,3, P, Q, f"},
};

const CNumberName kControlNames[] = {
    {16, "自动重合闸投入/退出"}, {17, "远方保护投入/退出"}, {18, "保护投入/退出"}, {19, "LED复归"},
    {23, "激活特性1"},           {24, "激活特性2"},         {25, "激活特性3"},     {26, "激活特性4"},
};

const CNumberName kGenericNames[] = {
    {240, "读全部被定义的组的标题"},
    {241, "读一个组的全部条目的值或属性"},
    {243, "读单个条目的目录"},
    {244, "读单个条目的值或属性"},
    {245, "对通用分类数据的总查询(总召唤)"},
    {248, "写条目"},
    {249, "带确认的写条目"},
    {250, "带执行的写条目"},
    {251, "写条目中止"},
};

const CNumberName kOrderNames[] = {
    {1, "故障的选择"},
    {2, "请求扰动数据"},
    {3, "中止扰动数据"},
    {8, "通道的请求"},
    {9, "通道的中止"},
    {16, "请求带标志的状态变位"},
    {17, "中止带标志的状态变位"},
    {24, "请求被记录的扰动表"},
    {32, "不带中止的扰动数据传输的结束"},
    {33, "由控制系统所中止的扰动数据传输的结束"},
    {34, "由继电保护设备所中止的扰动数据传输的结束"},
    {35, "不带中止的通道传输的结束"},
    {36, "由控制系统所中止的通道传输的结束"},
    {37, "由继电保护设备所中止的通道传输的结束"},
    {38, "不带中止的带标志的状态变位传输的结束"},
    {39, "由控制系统所中止的带标志的状态变位传输的结束"},
    {40, "由继电保护设备所中止的带标志的状态变位传输的结束"},
    {64, "成功的扰动数据传输(肯定)"},
    {65, "不成功的扰动数据传输(否定)"},
    {66, "成功的通道传输(肯定)"},
    {67, "不成功的通道传输(否定)"},
    {68, "成功的带标志的状态变位传输(肯定)"},
    {69, "不成功的带标志的状态变位传输(否定)"},
};

const CNumberName kChannelNames[] = {
    {0, "全局"}, {1, "IL1"},  {2, "IL2"},  {3, "IL3"}, {4, "IN"},
    {5, "UL1E"}, {6, "UL2E"}, {7, "UL3E"}, {8, "UEN"},
};

} // namespace

const char* FunctionTypeName(int nFun)
{
    switch (nFun)
    {
    case 128:
        return "距离保护";
    case 160:
        return "过流保护";
    case 176:
        return "变压器差动保护";
    case 192:
        return "线路差动保护";
    case 254:
        return "通用分类功能类型";
    case 255:
        return "全局功能类型";
    default:
        return nullptr;
    }
}

bool CheckCompatibleFunction(int nFun)
{
    return nFun == 128 || nFun == 160 || nFun == 176 || nFun == 192;
}

const char* InformationName(int nTyp, int nFun, int nInf, bool bFromMaster)
{
    if (nFun == 255 && nInf == 0)
    {
        if (nTyp == 6)
            return "时间同步";
        if (nTyp == 7)
            return "总查询(总召唤)的启动";
        if (nTyp == 8)
            return "总查询(总召唤)终止";
        return nullptr;
    }
    if (nTyp == 10 || nTyp == 11 || nTyp == 21)
        return Find(kGenericNames, nInf);
    if (!CheckCompatibleFunction(nFun))
        return nullptr;
    if (nTyp == 5)
        return Find(kIdentificationNames, nInf);
    return bFromMaster ? Find(kControlNames, nInf) : Find(kMonitorNames, nInf);
}

const char* MeasurandName(int nFun, int nInf, int nPosition)
{
    if (!CheckCompatibleFunction(nFun) || nPosition < 0)
        return nullptr;
    static const char* const kInf144[] = {"IL2"};
    static const char* const kInf145[] = {"IL2", "UL1-L2"};
    static const char* const kInf146[] = {"IL2", "UL1-L2", "P", "Q"};
    static const char* const kInf147[] = {"IN", "UEN"};
    static const char* const kInf148[] = {"IL1", "IL2", "IL3", "UL1E", "UL2E", "UL3E", "P", "Q", "f"};
    const auto Pick = [nPosition](const auto& names) -> const char*
    { return nPosition < static_cast<int>(std::size(names)) ? names[nPosition] : nullptr; };
    switch (nInf)
    {
    case 144:
        return Pick(kInf144);
    case 145:
        return Pick(kInf145);
    case 146:
        return Pick(kInf146);
    case 147:
        return Pick(kInf147);
    case 148:
        return Pick(kInf148);
    default:
        return nullptr;
    }
}

const char* DisturbanceOrderName(int nToo)
{
    return Find(kOrderNames, nToo);
}

const char* DisturbanceValueTypeName(int nTov)
{
    return nTov == 1 ? "瞬时值" : nullptr;
}

const char* ActualChannelName(int nAcc)
{
    return Find(kChannelNames, nAcc);
}

const char* KindOfDescriptionName(int nKod)
{
    switch (nKod)
    {
    case 0:
        return "无所指定的描述类别";
    case 1:
        return "实际值";
    case 2:
        return "缺省值";
    case 3:
        return "量程(最小值、最大值、步长)";
    case 5:
        return "精度";
    case 6:
        return "因子";
    case 7:
        return "％参比";
    case 8:
        return "列表";
    case 9:
        return "量纲";
    case 10:
        return "描述";
    case 12:
        return "口令条目";
    case 13:
        return "只读";
    case 14:
        return "只写";
    case 19:
        return "相应的功能类型和信息序号";
    case 20:
        return "相应的事件";
    case 21:
        return "列表的文本阵列";
    case 22:
        return "列表的值阵列";
    case 23:
        return "相关联的条目";
    default:
        return nullptr;
    }
}

} // namespace relvane
