#include "ConsoleText.h"

namespace relvane
{

// A terminal here takes UTF-8 as it is.
void UseConsoleText() {}

void PutText(std::FILE* pStream, const std::string& strText)
{
    std::fputs(strText.c_str(), pStream);
}

} // namespace relvane
