#pragma once

#include "disturbance/DisturbanceRecord.h"

#include <cstdint>
#include <string>
#include <vector>

namespace relvane
{

enum class ComtradeFormat
{
    Ascii,
    Binary,
};

// IEEE C37.111-1999 (COMTRADE) files of a disturbance record: the configuration (.cfg, ASCII)
// and the data (.dat, ASCII or binary). One analogue channel per transferred channel, scaled to
// secondary values (a = the reference factor, primary and secondary = the rated values), and one
// digital channel per tagged signal (FUN, INF), its state taken from the tags at their sample
// positions.
//
// The file name is the device, FAN and the fault's time: RELVANE_FAN2_20261208_031500.
std::string ComtradeBaseName(const CDisturbanceRecord& record);
std::string BuildComtradeConfig(const CDisturbanceRecord& record, ComtradeFormat eFormat);
std::vector<std::uint8_t> BuildComtradeData(const CDisturbanceRecord& record, ComtradeFormat eFormat);
// Writes BASE.cfg and BASE.dat into the folder (made if missing), each complete or not at all.
// Returns false with a message when the files cannot be written; paths receives the two files.
bool WriteComtrade(const CDisturbanceRecord& record, const std::string& strFolder, ComtradeFormat eFormat,
                   std::vector<std::string>& paths, std::string& strError);

} // namespace relvane
