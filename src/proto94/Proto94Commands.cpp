#include "proto94/Proto94Commands.h"

#include <array>

namespace relvane
{
namespace
{

constexpr std::array<CProto94Command, kProto94CommandCount> kCommands{{
    {32792, "巡检(83H)", 0x83, P94_DATA_NONE, true},
    {32793, "重复询问(84H)", 0x84, P94_DATA_NONE, true},
    {32794, "发现现有报告(8AH)", 0x8A, P94_DATA_NONE, true},
    {32795, "放弃现有报告(8EH)", 0x8E, P94_DATA_NONE, true},
    {32796, "召唤事件报告(87H)", 0x87, P94_DATA_CPU, true},
    {32797, "复位保护(80H)", 0x80, P94_DATA_CPU, true},
    {32798, "召唤开入量(86H)", 0x86, P94_DATA_CPU, true},
    {32799, "召唤采样值(88H)", 0x88, P94_DATA_CPU_RESET_COUNTER, true},
    {32800, "设置时钟(81H)", 0x81, P94_DATA_CLOCK, true},
    {32801, "召唤保护时钟(82H)", 0x82, P94_DATA_NONE, true},
    {32802, "召唤定值(85H)", 0x85, P94_DATA_CPU_SETTING_GROUP, true},
    {32803, "修改定值(8CH)", 0x8C, P94_DATA_NONE, false},
    {32804, "执行修改定值(8FH)", 0x8F, P94_DATA_CPU_SETTING_GROUP, false},
    {32805, "执行定值区(90H)", 0x90, P94_DATA_CPU_SETTING_GROUP, true},
    {32820, "发现现有扩展报告(9AH)", 0x9A, P94_DATA_NONE, true},
    {32821, "召唤最后录波步骤1(98H)", 0x98, P94_DATA_CPU_RESET_COUNTER, true},
    {32822, "召唤最后录波步骤2(99H)", 0x99, P94_DATA_CPU_STEP_COUNTER, true},
}};

constexpr std::array<int, kProto94ToolbarCount> kToolbar{32792, 32793, 32794, 32795, 32796, 32798, 32799,
                                                         32797, 0,     32800, 32801, 0,     32802, 32803,
                                                         32804, 32805, 0,     32820, 32821, 32822};

} // namespace

const CProto94Command* Proto94Commands()
{
    return kCommands.data();
}

const CProto94Command* FindProto94Command(int nId)
{
    for (const CProto94Command& command : kCommands)
    {
        if (command.nId == nId)
            return &command;
    }
    return nullptr;
}

const int* Proto94ToolbarIds()
{
    return kToolbar.data();
}

std::string Proto94Prompt(const CProto94Command& command)
{
    std::string strPrompt = command.pszCaption;
    const std::size_t nParen = strPrompt.rfind('(');
    if (nParen != std::string::npos)
        strPrompt.erase(nParen);
    return strPrompt;
}

int PrepareProto94Extra(const CProto94Command& command, std::uint8_t nSettingGroup,
                        CProto94StepCounter& counter, std::uint8_t* pExtra)
{
    switch (command.eData)
    {
    case P94_DATA_CPU_RESET_COUNTER:
        counter.Reset();
        return 0;
    case P94_DATA_CPU_SETTING_GROUP:
        pExtra[0] = nSettingGroup;
        return 1;
    case P94_DATA_CPU_STEP_COUNTER:
        counter.Advance();
        counter.BuildBytes(pExtra);
        return 2;
    case P94_DATA_NONE:
    case P94_DATA_CPU:
    case P94_DATA_CLOCK:
        break;
    }
    return 0;
}

} // namespace relvane
