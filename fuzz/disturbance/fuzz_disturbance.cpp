// Arbitrary ASDUs from a relay, as the disturbance upload reads them: each input is a series of
// ASDUs, one length byte before each. The transfer must never read past an ASDU, and whatever
// record it assembles must turn into COMTRADE files without reading past its channels.
#include "disturbance/ComtradeWriter.h"
#include "disturbance/DisturbanceTransfer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < 2)
        return 0;
    relvane::CDisturbanceTransfer transfer;
    transfer.Start(static_cast<std::uint16_t>(pData[0] | (pData[1] << 8)), 128);
    std::size_t nOffset = 2;
    relvane::CTransferOrder order;
    while (nOffset < nSize)
    {
        const std::size_t nLength = pData[nOffset++];
        const std::size_t nTake = nLength < nSize - nOffset ? nLength : nSize - nOffset;
        // A copy of exactly the ASDU's length, so that the sanitizer sees any read past it.
        const std::vector<std::uint8_t> abAsdu(pData + nOffset, pData + nOffset + nTake);
        transfer.OnAsdu(abAsdu.data(), static_cast<int>(abAsdu.size()), order);
        nOffset += nTake;
    }
    // Files are written only for a whole record.
    if (transfer.GetState() != relvane::CDisturbanceTransfer::DONE)
        return 0;
    for (const auto eFormat : {relvane::ComtradeFormat::Ascii, relvane::ComtradeFormat::Binary})
    {
        relvane::BuildComtradeConfig(transfer.Record(), eFormat);
        relvane::BuildComtradeData(transfer.Record(), eFormat);
    }
    relvane::ComtradeBaseName(transfer.Record());
    return 0;
}
