#include "session/PortMessages.h"

namespace relvane
{

std::string PortStateText(CPortDescription::EState eState)
{
    switch (eState)
    {
    case CPortDescription::EState::Available:
        return {};
    case CPortDescription::EState::Busy:
        return "被其他程序占用";
    case CPortDescription::EState::NoPermission:
        return "无权限: 请把用户加入 dialout 组";
    case CPortDescription::EState::Missing:
        return "设备不存在";
    case CPortDescription::EState::NotSerial:
        return "不是串口设备";
    default:
        return "无法打开";
    }
}

std::string PortOpenFailedText(int nPort, const std::string& strDevice, CPortDescription::EState eState)
{
    std::string strText = "无法打开串口 COM" + std::to_string(nPort);
    if (!strDevice.empty())
        strText += " (" + strDevice + ")";
    // A failure of no known kind (the line refused its settings) has no reason to add.
    if (eState != CPortDescription::EState::Failed)
    {
        if (const std::string strReason = PortStateText(eState); !strReason.empty())
            strText += ": " + strReason;
    }
    return strText;
}

} // namespace relvane
