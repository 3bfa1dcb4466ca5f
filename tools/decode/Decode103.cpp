#include "DecodeCommand.h"
#include "iec103/FrameText.h"
#include "iec103/FullExplanation.h"
#include "iec103/Iec103Codec.h"

#include <cstdint>
#include <cstdio>

namespace relvane
{

int Decode103(const CDecodeRequest& request, std::ostream& out, std::ostream& err)
{
    const auto& abFrame = request.abFrame;
    if (request.bComplete)
    {
        const CCompletedFrame completed = CompleteFrame(abFrame);
        if (!completed.IsFrame())
        {
            err << completed.strMessage << '\n';
            return DECODE_BAD_INPUT;
        }
        for (std::size_t i = 0; i < completed.abFrame.size(); ++i)
        {
            char szByte[4];
            std::snprintf(szByte, sizeof szByte, "%02X", completed.abFrame[i]);
            out << (i == 0 ? "" : " ") << szByte;
        }
        out << '\n';
        return DECODE_ANNOTATED;
    }
    if (abFrame.size() > static_cast<std::size_t>(INT32_MAX))
    {
        err << "relvane-decode: frame too long\n";
        return DECODE_BAD_INPUT;
    }
    const int nCount = static_cast<int>(abFrame.size());
    if (request.bCheck)
    {
        // The verdict of the log: framing and sum, and E5H is a good answer of its own.
        const bool bGood =
            Iec103Codec::CheckSingleAck(abFrame.data(), nCount) || Iec103Codec::CheckFrame(abFrame.data(), nCount);
        out << (bGood ? "checksum ok" : "checksum bad") << '\n';
    }
    CAnnotationText text;
    if (Iec103Codec::Annotate(abFrame.data(), nCount, text) <= 0 || text.IsEmpty())
        return DECODE_NOTHING;
    out << text.Text();
    if (request.bFull)
    {
        CAnnotationText full;
        AppendFullExplanation(abFrame.data(), nCount, full);
        out << full.Text();
    }
    return DECODE_ANNOTATED;
}

} // namespace relvane
