#include "DecodeCommand.h"

namespace relvane
{

int Decode103(const CDecodeRequest&, std::ostream&, std::ostream& err)
{
    err << "relvane-decode: the 103 protocol is not built yet\n";
    return DECODE_BAD_INPUT;
}

} // namespace relvane
