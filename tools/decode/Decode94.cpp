#include "DecodeCommand.h"

namespace relvane
{

int Decode94(const CDecodeRequest&, std::ostream&, std::ostream& err)
{
    err << "relvane-decode: the '94 protocol is not built yet\n";
    return DECODE_BAD_INPUT;
}

} // namespace relvane
