// Every shipped program says what it is in Explorer: the product's icon, a version resource with
// the product version and its own description, and the application manifest.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace
{

std::wstring Wide(const std::string& strText)
{
    const int nLength = MultiByteToWideChar(CP_UTF8, 0, strText.c_str(), -1, nullptr, 0);
    std::wstring strWide(static_cast<std::size_t>(nLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, strText.c_str(), -1, strWide.data(), nLength);
    strWide.resize(strWide.size() - 1);
    return strWide;
}

std::wstring VersionString(const std::vector<char>& abData, const wchar_t* pszKey)
{
    void* pValue = nullptr;
    UINT nLength = 0;
    const std::wstring strPath = std::wstring(L"\\StringFileInfo\\080404b0\\") + pszKey;
    if (!VerQueryValueW(abData.data(), strPath.c_str(), &pValue, &nLength) || nLength == 0)
        return {};
    return std::wstring(static_cast<const wchar_t*>(pValue), nLength - 1);
}

TEST(WinProgramResource, EveryProgramHasIconVersionAndManifest)
{
    std::vector<std::string> programs = {RELVANE_DECODE_PATH};
#ifdef RELVANE_RELAY_PATH
    programs.push_back(RELVANE_RELAY_PATH);
#endif
#ifdef RELVANE_RUN_PATH
    programs.push_back(RELVANE_RUN_PATH);
#endif
#ifdef RELVANE_MONITOR_PATH
    programs.push_back(RELVANE_MONITOR_PATH);
#endif
    for (const std::string& strProgram : programs)
    {
        SCOPED_TRACE(strProgram);
        const std::wstring strPath = Wide(strProgram);
        DWORD nHandle = 0;
        const DWORD nSize = GetFileVersionInfoSizeW(strPath.c_str(), &nHandle);
        ASSERT_GT(nSize, 0u);
        std::vector<char> abData(nSize);
        ASSERT_TRUE(GetFileVersionInfoW(strPath.c_str(), 0, nSize, abData.data()));
        EXPECT_EQ(VersionString(abData, L"FileVersion"), L"1.50");
        EXPECT_EQ(VersionString(abData, L"ProductVersion"), L"1.50");
        EXPECT_EQ(VersionString(abData, L"ProductName"), L"Relvane");
        EXPECT_NE(VersionString(abData, L"FileDescription").find(L"Relvane "), std::wstring::npos);

        HMODULE hModule = LoadLibraryExW(strPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(hModule, nullptr);
        EXPECT_NE(FindResourceW(hModule, MAKEINTRESOURCEW(127), MAKEINTRESOURCEW(14)), nullptr); // RT_GROUP_ICON
        EXPECT_NE(FindResourceW(hModule, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)), nullptr);   // RT_MANIFEST
        FreeLibrary(hModule);
    }
}

} // namespace
