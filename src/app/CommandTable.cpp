#include "app/CommandTable.h"
#include "app/RecordViews.h"

#include "session/SessionCommands.h"

#include <algorithm>

namespace relvane
{

namespace
{

QString Text(const char16_t* psz)
{
    return QString::fromUtf16(psz);
}

// A command whose prompt and tool tip repeat one text.
CCommandText Same(int nId, const char16_t* pszCaption, const char16_t* pszText, bool bCheckable = false)
{
    return {nId, Text(pszCaption), Text(pszText), Text(pszText), {}, bCheckable};
}

// A command with neither prompt nor tool tip.
CCommandText Bare(int nId, const char16_t* pszCaption, bool bCheckable = false)
{
    return {nId, Text(pszCaption), {}, {}, {}, bCheckable};
}

CCommandText Full(int nId, const char16_t* pszCaption, const char16_t* pszPrompt, const char16_t* pszTip,
                  QList<QKeySequence> shortcuts = {})
{
    return {nId, Text(pszCaption), Text(pszPrompt), Text(pszTip), std::move(shortcuts), false};
}

std::vector<CCommandText> BuildCommandTexts()
{
    using K = QKeySequence;
    std::vector<CCommandText> texts{
        Full(ID_FILE_NEW, u"新建(&N)", u"建立新文档", u"新建", {K(Qt::CTRL | Qt::Key_N)}),
        Full(ID_FILE_OPEN, u"打开(&O)...", u"打开一个现有文档", u"打开", {K(Qt::CTRL | Qt::Key_O)}),
        Full(ID_FILE_SAVE, u"保存(&S)", u"保存活动文档", u"保存", {K(Qt::CTRL | Qt::Key_S)}),
        Full(ID_FILE_SAVE_AS, u"另存为(&A)...", u"将活动文档以一个新文件名保存", u"另存为"),
        Full(ID_FILE_PRINT, u"打印(&P)...", u"打印活动文档", u"打印", {K(Qt::CTRL | Qt::Key_P)}),
        Full(ID_FILE_PRINT_PREVIEW, u"打印预览(&V)", u"显示整页", u"打印预览"),
        Full(ID_FILE_PRINT_SETUP, u"打印设置(&R)...", u"改变打印机及打印选项", u"打印设置"),
        {ID_FILE_MRU_FILE1, Text(u"最近文件"), Text(u"打开该文档"), {}, {}, false},
        Full(ID_APP_EXIT, u"退出(&X)", u"退出应用程序；提示保存文档", u"退出"),
        Bare(ID_MODE_94, u"94规约", true),
        Bare(ID_MODE_103, u"103规约", true),
        Bare(ID_MODE_ETH103, u"以太网103", true),
        Same(ID_SERIAL_CONNECT, u"串口连接", u"串口连接"),
        Same(ID_SERIAL_DISCONNECT, u"串口断开", u"串口断开"),
        Same(ID_SERIAL_SETTINGS, u"串口设置", u"串口设置"),
        Same(ID_AUTO_PROCESS, u"自动处理", u"自动处理收到的报文", true),
        Same(ID_POLL_INTERVAL, u"巡检设置", u"设置巡检间隔时间"),
        Bare(ID_DEVICE_ADDRESS, u"装置地址(&A)"),
        Bare(ID_MODEL_KLR10, u"KLR10", true),
        Bare(ID_MODEL_KTR20, u"KTR20", true),
        Bare(ID_FORMAT_HEX, u"十六进制", true),
        Bare(ID_FORMAT_DECIMAL, u"十进制", true),
        Bare(ID_TIMEOUT_SETTINGS, u"超时设置"),
        Same(ID_LINE_LIMIT, u"行数限制", u"限制显示的行数", true),
        Same(ID_SHOW_ANNOTATIONS, u"显示报文注释", u"显示报文注释", true),
        {ID_CLEAR_LOG, Text(u"清空(&E)"), Text(u"清空"), {}, {}, false},
        // The cycle button had neither text nor tip; it has both now, and a menu item.
        Same(ID_103_POLLING, u"循环巡检", u"循环召唤二级用户数据, 再点一次停止", true),
        Full(ID_EDIT_UNDO, u"撤消(&U)", u"撤消最后一步操作", u"撤消",
             {K(Qt::CTRL | Qt::Key_Z), K(Qt::ALT | Qt::Key_Backspace)}),
        Full(ID_EDIT_CUT, u"剪切(&T)", u"剪切被选对象并将其置于剪贴板上", u"剪切",
             {K(Qt::CTRL | Qt::Key_X), K(Qt::SHIFT | Qt::Key_Delete)}),
        Full(ID_EDIT_COPY, u"复制(&C)", u"复制被选对象并将其置于剪贴板上", u"复制",
             {K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)}),
        Full(ID_EDIT_PASTE, u"粘贴(&P)", u"插入剪贴板内容", u"粘贴",
             {K(Qt::CTRL | Qt::Key_V), K(Qt::SHIFT | Qt::Key_Insert)}),
        {ID_EDIT_SELECT_ALL, Text(u"全选"), {}, {}, {K(Qt::CTRL | Qt::Key_A)}, false},
        {ID_EDIT_FIND, Text(u"查找"), {}, {}, {K(Qt::CTRL | Qt::Key_F)}, false},
        {ID_EDIT_REPLACE, Text(u"替换"), {}, {}, {K(Qt::CTRL | Qt::Key_H)}, false},
        {ID_EDIT_REPEAT, Text(u"查找下一个"), {}, {}, {K(Qt::Key_F3)}, false},
        {ID_OLE_EDIT_PROPERTIES,
         Text(u"属性"),
         {},
         {},
         {K(Qt::ALT | Qt::Key_Return), K(Qt::ALT | Qt::Key_Enter)},
         false},
        {ID_VIEW_STATUS_BAR, Text(u"状态栏(&S)"), Text(u"显示或隐藏状态栏"), Text(u"显隐状态栏"), {}, true},
        Full(ID_APP_ABOUT, u"关于 Relvane(&A)...", u"显示程序信息，版本号和版权", u"关于"),
        // Our own additions, after the menus' own items.
        Same(ID_STAMP_TIME_OF_DAY, u"时间标记: 时刻(毫秒)", u"在每条记录前显示收发时刻", true),
        Same(ID_STAMP_SINCE_CONNECT, u"时间标记: 连接后秒数", u"在每条记录前显示连接后的秒数", true),
        Same(ID_STAMP_SINCE_PREVIOUS, u"时间标记: 与上帧间隔(毫秒)", u"在每条记录前显示与上一帧的间隔", true),
        Same(ID_CAPTURE_START, u"捕获到文件…", u"把每条记录和每帧报文写入文件"),
        Same(ID_CAPTURE_STOP, u"停止捕获", u"停止捕获到文件"),
        Same(ID_VIEW_STATISTICS, u"统计信息", u"显示或隐藏链路统计", true),
        Same(ID_VIEW_EVENTS, u"事件列表", u"显示或隐藏装置上送的事件", true),
        Same(ID_VIEW_TRENDS, u"测量值曲线", u"显示或隐藏测量值随时间的曲线", true),
        Same(ID_TEST_PLAN, u"测试计划…", u"按测试计划逐项测试装置并给出结论"),
        Same(ID_OPTION_HINTS, u"操作提示",
             u"在状态栏提示连接情况，串口列表显示设备详情，翻看记录时不跳到末尾", true),
        Same(ID_OPTION_ASK_SAVE, u"询问保存记录", u"新建、打开或关闭前询问是否保存未保存的记录", true),
        Same(ID_OPTION_FULL_EXPLANATION, u"完整解释", u"在103报文注释后逐项解释应用服务数据单元的全部内容",
             true),
        Same(ID_LINE_MONITOR, u"线路监视…", u"只听主站与装置之间的线路,不参与通信"),
        Same(ID_DISTURBANCE_UPLOAD, u"读取录波…", u"从装置读取录波, 存为COMTRADE文件"),
        Same(ID_RECORD_VIEW, u"录波查看…", u"打开COMTRADE录波文件, 画出各通道的波形"),
        // '94 commands: prompt and tip are the caption without its code.
        // Checked while the poll repeats on its own: a second click stops it.
        Same(32792, u"巡检(83H)", u"巡检", true),
        Same(32793, u"重复询问(84H)", u"重复询问"),
        Same(32794, u"发现现有报告(8AH)", u"发现现有报告"),
        Same(32795, u"放弃现有报告(8EH)", u"放弃现有报告"),
        Same(32796, u"召唤事件报告(87H)", u"召唤事件报告"),
        Same(32797, u"复位保护(80H)", u"复位保护"),
        Same(32798, u"召唤开入量(86H)", u"召唤开入量"),
        Same(32799, u"召唤采样值(88H)", u"召唤采样值"),
        Same(32800, u"设置时钟(81H)", u"设置时钟"),
        Same(32801, u"召唤保护时钟(82H)", u"召唤保护时钟"),
        Same(32802, u"召唤定值(85H)", u"召唤定值"),
        Same(32803, u"修改定值(8CH)", u"修改定值"),
        Same(32804, u"执行修改定值(8FH)", u"执行修改定值"),
        Same(32805, u"执行定值区(90H)", u"执行定值区"),
        Same(32820, u"发现现有扩展报告(9AH)", u"发现现有扩展报告"),
        Same(32821, u"召唤最后录波步骤1(98H)", u"召唤最后录波步骤1"),
        Same(32822, u"召唤最后录波步骤2(99H)", u"召唤最后录波步骤2"),
        // 103 commands: prompt and tip are the caption without its ASDU.
        Same(32841, u"召唤一级用户数据", u"召唤一级用户数据"),
        Same(32842, u"召唤二级用户数据", u"召唤二级用户数据"),
        Same(32843, u"复位通信单元", u"复位通信单元"),
        Same(32844, u"复位帧计数", u"复位帧计数"),
        Same(32845, u"请求链路状态", u"请求链路状态"),
        Same(32849, u"时间同步(ASDU6)", u"时间同步"),
        Same(32848, u"总查询 (ASDU7)", u"总查询"),
        Same(32853, u"一般命令(ASDU20)", u"一般命令"),
        Same(32856, u"通用分类数据(ASDU10)", u"通用分类数据"),
        Same(32854, u"通用分类命令(ASDU21)", u"通用分类命令"),
        Same(32859, u"扰动数据传输的命令(ASDU24)", u"扰动数据传输的命令"),
        Same(32860, u"扰动数据传输的认可(ASDU25)", u"扰动数据传输的认可"),
        Same(32858, u"自定义报文发送", u"自定义报文发送"),
        // Ethernet 103 commands.
        Same(ID_ETH_IP_SETTINGS, u"IP地址设置(&I)", u"IP地址设置"),
        Same(ID_ETH_CONNECT, u"连接(&L)", u"连接", true),
        Same(ID_ETH_TCP_LISTEN, u"TCP开始侦听", u"TCP开始侦听", true),
        Same(ID_ETH_TCP_NO_READ, u"TCP不读取数据", u"TCP不读取数据", true),
        Same(ID_ETH_TCP_SEND, u"TCP报文发送", u"TCP报文发送"),
        Same(ID_ETH_UDP_INTERVAL, u"UDP发送时间间隔", u"UDP时间间隔设置"),
        Same(ID_ETH_UDP_TIMED, u"定时发送UDP报文", u"定时发送UDP报文", true),
        Same(ID_ETH_UDP_ONCE, u"发送UDP报文", u"发送UDP报文"),
        Same(ID_ETH_UDP_TIME_INFO, u"UDP报文中包含对时信息", u"UDP报文中包含对时信息", true),
    };
    return texts;
}

CMenuPopup Popup(const char16_t* pszTitle, std::vector<int> items)
{
    return {Text(pszTitle), std::move(items), 0};
}

const std::vector<int> kFileItems{ID_FILE_NEW,
                                  ID_FILE_OPEN,
                                  ID_FILE_SAVE,
                                  ID_FILE_SAVE_AS,
                                  0,
                                  ID_FILE_PRINT,
                                  ID_FILE_PRINT_PREVIEW,
                                  ID_FILE_PRINT_SETUP,
                                  0,
                                  ID_FILE_MRU_FILE1,
                                  0,
                                  ID_APP_EXIT,
                                  0,
                                  ID_RECORD_VIEW};
const std::vector<int> kModeItems{ID_MODE_94, ID_MODE_103, ID_MODE_ETH103};
const std::vector<int> kSerialItems{ID_SERIAL_CONNECT, ID_SERIAL_DISCONNECT, 0, ID_SERIAL_SETTINGS, 0,
                                    ID_AUTO_PROCESS,   ID_POLL_INTERVAL};
const std::vector<int> kOptionItems{ID_FORMAT_HEX,
                                    ID_FORMAT_DECIMAL,
                                    0,
                                    ID_LINE_LIMIT,
                                    ID_SHOW_ANNOTATIONS,
                                    0,
                                    ID_STAMP_TIME_OF_DAY,
                                    ID_STAMP_SINCE_CONNECT,
                                    ID_STAMP_SINCE_PREVIOUS,
                                    0,
                                    ID_CAPTURE_START,
                                    ID_CAPTURE_STOP,
                                    0,
                                    ID_OPTION_HINTS,
                                    ID_OPTION_ASK_SAVE,
                                    ID_OPTION_FULL_EXPLANATION,
                                    0,
                                    ID_LINE_MONITOR};
const std::vector<int> kEditItems{ID_EDIT_UNDO, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, 0, ID_CLEAR_LOG};

} // namespace

const std::vector<CCommandText>& CommandTexts()
{
    static const std::vector<CCommandText> s_texts = BuildCommandTexts();
    return s_texts;
}

const CCommandText* FindCommandText(int nId)
{
    const auto& texts = CommandTexts();
    const auto it =
        std::find_if(texts.begin(), texts.end(), [nId](const CCommandText& text) { return text.nId == nId; });
    return it != texts.end() ? &*it : nullptr;
}

const std::vector<CMenuPopup>& ModeMenu(int nMode)
{
    static const std::vector<CMenuPopup> s_menu129{
        Popup(u"文件(&F)", kFileItems),
        Popup(u"规约(&P)", kModeItems),
        Popup(u"串口设置(&C)", kSerialItems),
        Popup(u"装置设置(&D)", {ID_DEVICE_ADDRESS, 0, ID_MODEL_KLR10, ID_MODEL_KTR20}),
        Popup(u"选项(&O)", kOptionItems),
        Popup(u"命令(&M)", {32792, 32793, 32794, 32795, 32796, 32797, 32798, 32799, 0,     32800,
                            32801, 0,     32802, 32803, 32804, 32805, 0,     32820, 32821, 32822}),
        Popup(u"编辑(&E)", {ID_EDIT_COPY, ID_EDIT_CUT, ID_EDIT_UNDO, ID_EDIT_PASTE, 0, ID_CLEAR_LOG}),
        Popup(u"查看(&V)", {ID_VIEW_STATUS_BAR, ID_VIEW_STATISTICS, ID_VIEW_EVENTS, ID_VIEW_TRENDS}),
        Popup(u"帮助(&H)", {ID_APP_ABOUT}),
        Popup(u"测试(&T)", {ID_TEST_PLAN}),
    };
    static const std::vector<CMenuPopup> s_menu131{
        Popup(u"文件(&F)", kFileItems),
        Popup(u"规约(&P)", kModeItems),
        Popup(u"串口设置(&C)", kSerialItems),
        {Text(u"装置地址(&A)"), {}, ID_DEVICE_ADDRESS},
        Popup(u"选项(&O)", kOptionItems),
        Popup(u"命令(&C)", {32841, 32842, 32843, 32844, 32845, 0, 32849, 32848, 32853, 0, 32856, 32854, 0,
                            32859, 32860, 0, 32858, 0, ID_DISTURBANCE_UPLOAD, ID_103_POLLING}),
        Popup(u"编辑(&E)", kEditItems),
        Popup(u"查看(&V)", {ID_VIEW_STATUS_BAR, ID_VIEW_STATISTICS, ID_VIEW_EVENTS, ID_VIEW_TRENDS}),
        Popup(u"帮助(&H)", {ID_APP_ABOUT}),
        Popup(u"测试(&T)", {ID_TEST_PLAN}),
    };
    static const std::vector<CMenuPopup> s_menu140{
        Popup(u"文件(&F)", kFileItems),
        Popup(u"规约(&P)", kModeItems),
        Popup(u"装置(&D)", {ID_ETH_IP_SETTINGS, 0, ID_ETH_CONNECT}),
        Popup(u"TCP(&T)", {ID_ETH_TCP_LISTEN, ID_ETH_TCP_NO_READ, 0, ID_ETH_TCP_SEND}),
        Popup(u"UDP(&U)", {ID_ETH_UDP_INTERVAL, ID_ETH_UDP_TIMED, ID_ETH_UDP_ONCE, ID_ETH_UDP_TIME_INFO}),
        Popup(u"选项(&O)", {ID_FORMAT_HEX, ID_FORMAT_DECIMAL, 0, ID_STAMP_TIME_OF_DAY, ID_STAMP_SINCE_CONNECT,
                            ID_STAMP_SINCE_PREVIOUS, 0, ID_CAPTURE_START, ID_CAPTURE_STOP, 0, ID_OPTION_HINTS,
                            ID_OPTION_ASK_SAVE, 0, ID_LINE_MONITOR}),
        Popup(u"编辑(&E)", kEditItems),
        Popup(u"查看(&V)", {ID_VIEW_STATUS_BAR, ID_VIEW_STATISTICS, ID_VIEW_EVENTS, ID_VIEW_TRENDS}),
        Popup(u"帮助(&H)", {ID_APP_ABOUT}),
    };
    switch (nMode)
    {
    case MODE_103:
        return s_menu131;
    case MODE_ETH103:
        return s_menu140;
    default:
        return s_menu129;
    }
}

const std::vector<int>& ToolbarButtons(int nToolbar)
{
    static const std::vector<int> s_main{ID_FILE_NEW,
                                         ID_FILE_OPEN,
                                         ID_FILE_SAVE,
                                         0,
                                         ID_EDIT_CUT,
                                         ID_EDIT_COPY,
                                         ID_EDIT_PASTE,
                                         0,
                                         ID_FILE_PRINT,
                                         0,
                                         ID_SERIAL_SETTINGS,
                                         ID_SERIAL_CONNECT,
                                         ID_SERIAL_DISCONNECT,
                                         ID_AUTO_PROCESS,
                                         0,
                                         ID_CLEAR_LOG,
                                         0,
                                         ID_APP_ABOUT};
    static const std::vector<int> s_94{32792, 32793, 32794, 32795, 32796, 32798, 32799, 32797, 0,     32800,
                                       32801, 0,     32802, 32803, 32804, 32805, 0,     32820, 32821, 32822};
    static const std::vector<int> s_103{32841, 32842, 0,     32843, 32844, 32845,
                                        0,     32849, 32848, 32853, 0,     32856,
                                        32854, 0,     32859, 32860, 0,     ID_103_POLLING};
    static const std::vector<int> s_eth{ID_FILE_NEW,
                                        ID_FILE_OPEN,
                                        ID_FILE_SAVE,
                                        0,
                                        ID_EDIT_CUT,
                                        ID_EDIT_COPY,
                                        ID_EDIT_PASTE,
                                        0,
                                        ID_FILE_PRINT,
                                        0,
                                        ID_ETH_IP_SETTINGS,
                                        0,
                                        ID_ETH_CONNECT,
                                        0,
                                        ID_ETH_TCP_LISTEN,
                                        ID_ETH_TCP_SEND,
                                        0,
                                        ID_ETH_UDP_TIMED,
                                        ID_ETH_UDP_ONCE,
                                        0,
                                        ID_CLEAR_LOG,
                                        0,
                                        ID_APP_ABOUT};
    static const std::vector<int> s_none;
    switch (nToolbar)
    {
    case IDR_MAINFRAME:
        return s_main;
    case IDR_TOOLBAR_94:
        return s_94;
    case IDR_TOOLBAR_103:
        return s_103;
    case IDR_TOOLBAR_ETH:
        return s_eth;
    default:
        return s_none;
    }
}

bool ToolbarVisibleInMode(int nToolbar, int nMode)
{
    switch (nToolbar)
    {
    case IDR_MAINFRAME:
        return nMode != MODE_ETH103;
    case IDR_TOOLBAR_94:
        return nMode == MODE_94;
    case IDR_TOOLBAR_103:
        return nMode == MODE_103;
    case IDR_TOOLBAR_ETH:
        return nMode == MODE_ETH103;
    default:
        return false;
    }
}

} // namespace relvane
