#include "common/WholeFile.h"

namespace relvane
{

bool WriteWholeFile(const std::string& strPath, const void* pData, std::size_t nCount, int& nError)
{
    CWholeFile file;
    const bool bWritten = file.Open(strPath) && file.Write(pData, nCount) && file.Commit();
    nError = file.Error();
    if (!bWritten)
        file.Cancel();
    return bWritten;
}

} // namespace relvane
