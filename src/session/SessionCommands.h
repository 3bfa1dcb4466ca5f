#pragma once

namespace relvane
{

// Numeric command identifiers of the menus, toolbars and status-bar panes the session answers.
enum SessionCommandId : int
{
    ID_MODE_94 = 32771,
    ID_MODE_103 = 32772,
    ID_MODE_ETH103 = 32773,
    ID_DEVICE_ADDRESS = 32776,
    ID_SERIAL_CONNECT = 32777,
    ID_SERIAL_SETTINGS = 32778,
    ID_SERIAL_DISCONNECT = 32779,

    ID_94_FIRST = 32792, // the '94 command handler's range
    ID_94_POLL = 32792,  // "巡检(83H)"
    ID_94_LAST = 32822,

    ID_FORMAT_HEX = 32806,
    ID_FORMAT_DECIMAL = 32807,
    ID_TIMEOUT_SETTINGS = 32808, // no handler of its own: reaches the '94 handler
    ID_CLEAR_LOG = 32809,
    ID_AUTO_PROCESS = 32816,
    ID_LINE_LIMIT = 32817,
    ID_POLL_INTERVAL = 32818,
    ID_SHOW_ANNOTATIONS = 32819,
    ID_MODEL_KLR10 = 32826,
    ID_MODEL_KTR20 = 32827,

    ID_ETH_IP_SETTINGS = 32829,
    ID_ETH_UDP_INTERVAL = 32836,
    ID_ETH_CONNECT = 32838,

    ID_103_FIRST = 32841,
    ID_103_CLASS1 = 32841,
    ID_103_CLASS2 = 32842,
    ID_103_RESET_CU = 32843,
    ID_103_RESET_FCB = 32844,
    ID_103_LINK_STATUS = 32845,
    ID_103_INTERROGATION = 32848,
    ID_103_TIME_SYNC = 32849,
    ID_103_GENERAL_COMMAND = 32853,
    ID_103_GENERIC_COMMAND = 32854,
    ID_103_GENERIC_DATA = 32856,
    ID_103_CUSTOM_FRAME = 32858,
    ID_103_DISTURBANCE_ORDER = 32859,
    ID_103_DISTURBANCE_ACK = 32860,
    ID_103_LAST = 32860,

    ID_ETH_UDP_TIMED = 32866,
    ID_ETH_UDP_ONCE = 32867,
    ID_ETH_UDP_TIME_INFO = 32868,
    ID_103_POLLING = 32869,
    ID_ETH_TCP_LISTEN = 32870,
    ID_ETH_TCP_NO_READ = 32872,
    ID_ETH_TCP_SEND = 32873,

    // Our own additions, after the menus' own items: time stamps in the log, capture to disk and
    // the statistics panel.
    ID_STAMP_TIME_OF_DAY = 32901,
    ID_STAMP_SINCE_CONNECT = 32902,
    ID_STAMP_SINCE_PREVIOUS = 32903,
    ID_CAPTURE_START = 32904,
    ID_CAPTURE_STOP = 32905,
    ID_VIEW_STATISTICS = 32906,
    // The window's help for the first hours at the bench (hints, asking to save).
    ID_OPTION_HINTS = 32911,
    ID_OPTION_ASK_SAVE = 32912,
    ID_LINE_MONITOR = 32913, // the line monitor's window
    // Our own 103 command after the specified ones: a disturbance record to COMTRADE files.
    ID_DISTURBANCE_UPLOAD = 32914,
    // The full explanation of 103 ASDU bodies in the log.
    ID_OPTION_FULL_EXPLANATION = 32930,
    // The disturbance record viewer (COMTRADE files drawn), at the end of the file menu.
    ID_RECORD_VIEW = 32940,

    ID_INDICATOR_PORT = 59143,
    ID_INDICATOR_PARITY = 59144,
    ID_INDICATOR_BAUD = 59145,
    ID_INDICATOR_ADDRESS = 59146,
    ID_INDICATOR_CPU = 59147,
};

// Protocol modes.
enum ProtocolMode : int
{
    MODE_94 = 0,
    MODE_103 = 1,
    MODE_ETH103 = 2,
};

// The view's two timers.
enum SessionTimerId : int
{
    TIMER_RESPONSE = 1,
    TIMER_POLL = 2,
};

// What the menus and toolbars show for a command. bHandled is false for ids the session has no
// handler for (the window's own commands and the text area's).
struct CCommandState
{
    bool bHandled = false;
    bool bEnabled = false;
    bool bChecked = false;
};

} // namespace relvane
