// Arbitrary bytes from a master, as the simulated relay receives them on a line and on TCP: the frame
// reader, both relay models and the Ethernet peer must never read past the input, and every answer
// must be a frame with a right checksum.
#include "proto94/Crc16.h"
#include "relay/Eth103Peer.h"
#include "relay/RelaySession.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{

void CheckAnswer(const relvane::CRelayExchange& exchange)
{
    const auto& ab = exchange.abAnswer;
    if (ab.empty())
        return;
    if (exchange.eProtocol == relvane::RELAY_94)
    {
        const std::uint16_t nCrc = relvane::Crc16Arc(ab.data(), ab.size() - 2);
        if (ab.size() != ab[2] + 5u || ab[ab.size() - 2] != (nCrc & 0xFF) || ab.back() != (nCrc >> 8))
            std::abort();
        return;
    }
    if (ab.back() != 0x16 || (ab[0] == 0x10 && ab.size() != 5) || (ab[0] == 0x68 && ab.size() != ab[1] + 6u))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    constexpr std::int64_t kNow = 1'700'000'000'000;
    relvane::CRelaySession session(relvane::CRelaySettings{}, kNow);
    std::vector<relvane::CRelayExchange> exchanges;
    // Fed in two parts, so frames that straddle reads are cut as well.
    session.Receive(pData, nSize / 2, kNow, exchanges);
    session.Receive(pData + nSize / 2, nSize - nSize / 2, kNow + 10, exchanges);
    for (const auto& exchange : exchanges)
        CheckAnswer(exchange);
    session.Idle(kNow + 1000);

    relvane::CEth103Peer peer(1, 0, kNow);
    std::vector<relvane::CRelayBytes> received;
    peer.OnReceived(pData, nSize, kNow, received);
    relvane::CEth103Peer::DescribeUdpFrame(pData, nSize);
    return 0;
}
