#pragma once

#include "relay/RelayTypes.h"

#include <cstdint>

namespace relvane
{

// Frames and ASDU pieces the simulated 103 relay sends (secondary station).
constexpr std::uint8_t kCotSpontaneous = 1;
constexpr std::uint8_t kCotCyclic = 2;
constexpr std::uint8_t kCotResetFcb = 3;
constexpr std::uint8_t kCotResetCu = 4;
constexpr std::uint8_t kCotStart = 5;
constexpr std::uint8_t kCotTimeSync = 8;
constexpr std::uint8_t kCotInterrogation = 9;
constexpr std::uint8_t kCotInterrogationEnd = 10;
constexpr std::uint8_t kCotCommandPositive = 20;
constexpr std::uint8_t kCotCommandNegative = 21;
constexpr std::uint8_t kCotDisturbance = 31;
constexpr std::uint8_t kCotWritePositive = 40;
constexpr std::uint8_t kCotWriteNegative = 41;
constexpr std::uint8_t kCotReadValid = 42;
constexpr std::uint8_t kCotReadInvalid = 43;

// Control bytes of the secondary station (function code, ACD in bit 5).
constexpr std::uint8_t kSecondaryAck = 0x00;
constexpr std::uint8_t kSecondaryUserData = 0x08;
constexpr std::uint8_t kSecondaryNoData = 0x09;
constexpr std::uint8_t kSecondaryLinkStatus = 0x0B;
constexpr std::uint8_t kSecondaryNotFunctioning = 0x0E;
constexpr std::uint8_t kSecondaryNotImplemented = 0x0F;
constexpr std::uint8_t kAcd = 0x20;
constexpr std::uint8_t kDfc = 0x10;
// The single control character that may stand for a confirmation or "no data" without ACD.
constexpr std::uint8_t kSingleCharAck = 0xE5;

// TYP, VSQ, COT, common address, FUN, INF.
CRelayBytes BuildAsduHeader(std::uint8_t nTyp, std::uint8_t nVsq, std::uint8_t nCot, std::uint8_t nAddress,
                            std::uint8_t nFun, std::uint8_t nInf);
// 10H, C, A, checksum, 16H.
CRelayBytes BuildFixedFrame103(std::uint8_t nControl, std::uint8_t nAddress);
// 68H L L 68H, C, A, ASDU, checksum, 16H.
CRelayBytes BuildVariableFrame103(std::uint8_t nControl, std::uint8_t nAddress, const CRelayBytes& abAsdu);

void AppendWord(CRelayBytes& ab, unsigned nValue);
void AppendFloat(CRelayBytes& ab, float fValue);

} // namespace relvane
