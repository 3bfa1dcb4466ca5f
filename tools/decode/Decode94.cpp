#include "DecodeCommand.h"
#include "proto94/Proto94Codec.h"

#include <string>

namespace relvane
{

int Decode94(const CDecodeRequest& request, std::ostream& out, std::ostream&)
{
    Proto94Codec codec;
    codec.SetModel(request.strModel == "KTR20" ? KTR20 : KLR10);
    const std::uint8_t* pFrame = request.abFrame.data();
    const int nLength = static_cast<int>(request.abFrame.size());
    if (request.bCheck)
        out << (codec.CheckFrame(pFrame, nLength) == 1 ? "CRC ok\n" : "CRC bad\n");
    std::string strText;
    if (codec.Interpret(pFrame, nLength, strText) <= 0)
        return DECODE_NOTHING;
    out << strText;
    return DECODE_ANNOTATED;
}

} // namespace relvane
