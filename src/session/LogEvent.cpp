#include "session/LogEvent.h"

#include <array>

namespace relvane
{

const char* LogEventText(int nKind)
{
    static constexpr std::array<const char*, 18> kTexts = {
        "发送: ",
        "接收: ",
        "CRC错: ",
        "超时\r\n",
        "校验和出错: ",
        "\r\nUDP发送: ",
        "\r\nTCP发送: ",
        "\r\nTCP接收: ",
        "\r\nTCP连接建立\r\n",
        "\r\nTCP连接断开\r\n",
        "\r\nTCP绑定失败\r\n",
        "\r\nTCP开始侦听\r\n",
        "\r\nTCP侦听失败\r\n",
        "\r\nTCP停止侦听\r\n",
        "\r\nTCP连接未建立\r\n",
        "\r\nSocket无效\r\n",
        "\r\nTCP数据不能发送\r\n",
        "\r\nTCP发送失败\r\n",
    };
    if (nKind < 0 || nKind >= static_cast<int>(kTexts.size()))
        return nullptr;
    return kTexts[static_cast<std::size_t>(nKind)];
}

} // namespace relvane
