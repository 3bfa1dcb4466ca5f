// Arbitrary bytes as a relvane-run script and as a relvane-decode input line: reading must stay
// within its bounds, and every error text must come out printable (UTF-8 without control bytes).
#include "HexInput.h"
#include "LineInput.h"
#include "PrintableText.h"
#include "RunScript.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace
{

void CheckPrintable(const std::string& strText)
{
    const std::string strShown = relvane::PrintableText(strText);
    for (const char c : strShown)
    {
        const auto nByte = static_cast<unsigned char>(c);
        if (nByte < 0x20 || nByte == 0x7F)
            std::abort();
    }
    // Printable text is a fixed point: nothing in it needs escaping again.
    if (relvane::PrintableText(strShown) != strShown)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const std::string strInput(reinterpret_cast<const char*>(pData), nSize);

    std::istringstream script(strInput);
    std::vector<relvane::CScriptStep> steps;
    std::string strError;
    if (!relvane::ParseRunScript(script, steps, strError))
        CheckPrintable(strError);

    std::istringstream lines(strInput);
    std::string line;
    while (relvane::ReadBoundedLine(*lines.rdbuf(), line, 64) != relvane::LINE_END)
    {
        if (line.size() > 64)
            std::abort();
        std::vector<std::uint8_t> abBytes;
        if (!relvane::ParseHexBytes(relvane::SplitTokens(line), abBytes, strError))
            CheckPrintable(strError);
    }
    return 0;
}
