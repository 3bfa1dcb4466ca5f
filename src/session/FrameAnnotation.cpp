#include "session/FrameAnnotation.h"

#include "common/AnnotationText.h"
#include "iec103/FullExplanation.h"
#include "iec103/Iec103Codec.h"
#include "proto94/Proto94Codec.h"
#include "session/SessionCommands.h"

namespace relvane
{

int AnnotateFrame(int nMode, const Proto94Codec& codec94, const std::uint8_t* pFrame, int nLength, bool bFull,
                  std::string& strText)
{
    if (pFrame == nullptr || nLength <= 0)
        return -1;
    if (nMode == MODE_94)
        return codec94.Interpret(pFrame, nLength, strText);
    if (nMode != MODE_103)
        return -1;
    CAnnotationText text;
    const int nResult = Iec103Codec::Annotate(pFrame, nLength, text);
    strText = text.Text();
    if (nResult > 0 && bFull)
    {
        CAnnotationText full;
        AppendFullExplanation(pFrame, nLength, full);
        strText += full.Text();
    }
    return nResult;
}

} // namespace relvane
