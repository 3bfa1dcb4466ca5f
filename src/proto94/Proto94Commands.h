#pragma once

#include "proto94/Proto94StepCounter.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace relvane
{

// What a '94 command sends besides address and code.
enum Proto94DataRule
{
    P94_DATA_NONE,              // no data (82H, 83H, 84H, 8AH, 8EH, 9AH; also 8CH, which has no layout)
    P94_DATA_CPU,               // CPU number (80H, 86H, 87H)
    P94_DATA_CPU_RESET_COUNTER, // CPU number; the step counter is set to 0 first (88H, 98H)
    P94_DATA_CLOCK,             // the clock form's date and time, bytes 3..9 (81H)
    P94_DATA_CPU_SETTING_GROUP, // CPU number, setting group (85H, 8FH, 90H)
    P94_DATA_CPU_STEP_COUNTER,  // CPU number, counter low, counter high after counter += 1 (99H)
};

struct CProto94Command
{
    int nId;                // menu/toolbar id, 32792 to 32822
    const char* pszCaption; // UTF-8 menu caption, e.g. "巡检(83H)"
    std::uint8_t nCode;     // command code
    Proto94DataRule eData;
    bool bEnabled; // false for 8CH and 8FH ("never")
};

constexpr int kProto94FirstCommandId = 32792; // first id of the '94 command handler's range
constexpr int kProto94LastCommandId = 32822;  // last id of the range
constexpr int kProto94PollCommandId = 32792;  // 巡检(83H), sent by the timers
constexpr int kModelKlr10CommandId = 32826;   // "KLR10" of the device menu
constexpr int kModelKtr20CommandId = 32827;   // "KTR20"

// The 17 commands in menu-table order.
const CProto94Command* Proto94Commands();
constexpr std::size_t kProto94CommandCount = 17;

// The row of the id, or nullptr (for ids of the range without a code, e.g. 32808, too).
const CProto94Command* FindProto94Command(int nId);

// Toolbar of the '94 mode: ids in order, 0 for a separator gap.
const int* Proto94ToolbarIds();
constexpr std::size_t kProto94ToolbarCount = 20;

// Status-bar prompt: the caption without its code ("巡检(83H)" -> "巡检").
std::string Proto94Prompt(const CProto94Command& command);

// Applies the step-counter rules of the command (reset for 88H/98H, advance for 99H) and writes
// its extra data bytes (those after the CPU number) into pExtra (room for 2); returns the extra
// count to hand to Proto94Codec::BuildFrame (0, 1 or 2). The clock bytes of 81H are not written
// here: use BuildClockBytes on the transmit buffer.
int PrepareProto94Extra(const CProto94Command& command, std::uint8_t nSettingGroup,
                        CProto94StepCounter& counter, std::uint8_t* pExtra);

} // namespace relvane
