// Arbitrary COMTRADE files, as a user may open them: the input is a configuration and data, the
// first two bytes giving the configuration's length. Whatever the files hold, the reader must
// end without reading past either, and a record it accepts must hold as many values per channel
// as it has times.
#include "disturbance/ComtradeReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < 2)
        return 0;
    std::size_t nConfig = static_cast<std::size_t>(pData[0] | (pData[1] << 8));
    if (nConfig > nSize - 2)
        nConfig = nSize - 2;
    // Copies of exactly each file's length, so that the sanitizer sees any read past one.
    const std::string strConfig(reinterpret_cast<const char*>(pData + 2), nConfig);
    const std::vector<std::uint8_t> abData(pData + 2 + nConfig, pData + nSize);
    relvane::CComtradeRecord record;
    std::string strError;
    if (!relvane::ParseComtradeConfig(strConfig, record, strError))
        return 0;
    if (!relvane::ParseComtradeData(abData.data(), abData.size(), record, strError))
        return 0;
    for (const relvane::CComtradeAnalog& analog : record.analogs)
    {
        if (analog.values.size() != record.times.size())
            std::abort();
    }
    for (const relvane::CComtradeDigital& digital : record.digitals)
    {
        if (digital.states.size() != record.times.size())
            std::abort();
    }
    return 0;
}
