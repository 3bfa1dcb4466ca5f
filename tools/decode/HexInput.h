#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace relvane
{

// Reads frame bytes typed as hexadecimal pairs: "01 83 00 30 F0", "01830030F0" or "0x01 0x83".
// On bad input returns false and names the offending token in strError.
bool ParseHexBytes(const std::vector<std::string>& tokens, std::vector<std::uint8_t>& abBytes,
                   std::string& strError);

// Splits a line at white space.
std::vector<std::string> SplitTokens(std::string_view line);

} // namespace relvane
