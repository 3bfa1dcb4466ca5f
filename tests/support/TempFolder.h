#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#ifndef _WIN32
#include <cstdlib>
#endif

namespace relvane::test
{

// A new, empty folder of this test under the system's temporary folder ("/tmp/NAME-XXXXXX" on
// POSIX systems); empty when none could be made.
inline std::filesystem::path MakeTempFolder(const std::string& strName)
{
#ifdef _WIN32
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error)
        return {};
    std::random_device random;
    for (int nTry = 0; nTry < 100; ++nTry)
    {
        std::filesystem::path dir = base / (strName + "-" + std::to_string(random() & 0xFFFFFFu));
        if (std::filesystem::create_directory(dir, error))
            return dir;
    }
    return {};
#else
    std::string strPattern = "/tmp/" + strName + "-XXXXXX";
    if (mkdtemp(strPattern.data()) == nullptr)
        return {};
    return strPattern;
#endif
}

} // namespace relvane::test
