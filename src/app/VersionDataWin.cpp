#include "app/VersionData.h"
#include "app/VersionResource.h"

#include <windows.h>

#include <vector>

namespace relvane
{

namespace
{

std::optional<QString> QueryString(const std::vector<char>& data, const wchar_t* pszPath)
{
    void* pValue = nullptr;
    UINT nLength = 0;
    // VerQueryValueW takes a non-const block, though it only reads it.
    if (!VerQueryValueW(const_cast<char*>(data.data()), pszPath, &pValue, &nLength) || pValue == nullptr)
        return std::nullopt;
    const auto* pszValue = static_cast<const wchar_t*>(pValue);
    // The length counts the terminating zero when there is one.
    while (nLength > 0 && pszValue[nLength - 1] == L'\0')
        --nLength;
    return QString::fromWCharArray(pszValue, static_cast<qsizetype>(nLength));
}

} // namespace

// The wide-character calls: the legal notice is Chinese, and the narrow ones would hand it over
// in the system's code page, which on most Windows systems has no Chinese characters.
CVersionData ReadVersionResource(const QString& strFile)
{
    const std::wstring strPath = strFile.toStdWString();
    DWORD dwHandle = 0;
    const DWORD dwSize = GetFileVersionInfoSizeW(strPath.c_str(), &dwHandle);
    if (dwSize == 0)
        return {};
    std::vector<char> data(dwSize);
    if (!GetFileVersionInfoW(strPath.c_str(), 0, dwSize, data.data()))
        return {};
    const auto legalNotice = QueryString(data, L"\\StringFileInfo\\080404b0\\LegalCopyright");
    const auto productVersion =
        legalNotice ? QueryString(data, L"\\StringFileInfo\\080404b0\\ProductVersion") : std::nullopt;
    const auto specialBuild =
        productVersion ? QueryString(data, L"\\StringFileInfo\\080404b0\\SpecialBuild") : std::nullopt;
    return FormVersionData(legalNotice, productVersion, specialBuild);
}

const CVersionData& ProgramVersionData()
{
    static const CVersionData s_data = []
    {
        std::vector<wchar_t> path(MAX_PATH);
        for (;;)
        {
            const DWORD dwLength = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
            if (dwLength == 0)
                return CVersionData{};
            if (dwLength < path.size())
                return ReadVersionResource(QString::fromWCharArray(path.data(), dwLength));
            path.resize(path.size() * 2);
        }
    }();
    return s_data;
}

} // namespace relvane
