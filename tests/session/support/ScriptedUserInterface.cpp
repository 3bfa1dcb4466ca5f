#include "ScriptedUserInterface.h"

namespace relvane
{

void CScriptedUserInterface::AnswerCustomFrame(const std::string& strText, bool bHex)
{
    m_customFrame.Push(
        [strText, bHex](CCustomFrame& frame, CCustomFrameFields& fields)
        {
            fields.bHex = bHex;
            frame.StoreText(strText, bHex);
            return true;
        });
}

} // namespace relvane
