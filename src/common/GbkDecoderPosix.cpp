#include "common/GbkDecoder.h"

#include <iconv.h>

namespace relvane
{
namespace
{

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

} // namespace

CGbkDecoder::CGbkDecoder()
{
    const iconv_t converter = iconv_open("UTF-8", "GBK");
    m_pConverter = converter == kNoConverter ? nullptr : converter;
}

CGbkDecoder::~CGbkDecoder()
{
    if (m_pConverter != nullptr)
        iconv_close(static_cast<iconv_t>(m_pConverter));
}

bool CGbkDecoder::Decode(std::uint8_t nLead, std::uint8_t nTrail, char (&abOut)[8], std::size_t& nOut) const
{
    if (m_pConverter == nullptr)
        return false;
    const iconv_t converter = static_cast<iconv_t>(m_pConverter);
    char abIn[2] = {static_cast<char>(nLead), static_cast<char>(nTrail)};
    char* pIn = abIn;
    char* pOut = abOut;
    std::size_t nIn = 2;
    std::size_t nLeft = sizeof abOut;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &pIn, &nIn, &pOut, &nLeft) == static_cast<std::size_t>(-1) || nIn != 0)
        return false;
    nOut = sizeof abOut - nLeft;
    return true;
}

} // namespace relvane
