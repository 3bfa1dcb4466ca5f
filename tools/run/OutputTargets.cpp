#include "OutputTargets.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace relvane
{
namespace
{

namespace fs = std::filesystem;

// Names on the command line are UTF-8 on every system.
fs::path PathOf(const std::string& strUtf8)
{
    return fs::path(std::u8string(strUtf8.begin(), strUtf8.end()));
}

std::string Utf8Of(const fs::path& path)
{
    const std::u8string str = path.u8string();
    return std::string(str.begin(), str.end());
}

// What a file that exists is, when it is none a run may write.
const char* NotAFile(fs::file_type eType)
{
    switch (eType)
    {
    case fs::file_type::regular:
        return nullptr;
    case fs::file_type::fifo:
        return "is a named pipe (FIFO)";
    case fs::file_type::character:
    case fs::file_type::block:
        return "is a device";
    case fs::file_type::socket:
        return "is a socket";
    default:
        return "is not a regular file";
    }
}

// Whether the file (or, when it does not exist, its folder) takes writes, without changing it.
bool CheckWritable(const fs::path& target, bool bExists, std::string& strReason)
{
    errno = 0;
    // Appending nothing leaves a file as it was; a new file is made and removed again.
    std::ofstream probe(target, std::ios::binary | std::ios::app);
    const int nError = errno;
    const bool bOpened = probe.is_open();
    probe.close();
    if (bOpened && !bExists)
    {
        std::error_code ignored;
        fs::remove(target, ignored);
    }
    if (!bOpened)
        strReason = std::strerror(nError != 0 ? nError : EACCES);
    return bOpened;
}

// The same file, or the same name once the file is created.
bool SameFile(const fs::path& a, const fs::path& b)
{
    std::error_code error;
    if (fs::equivalent(a, b, error))
        return true;
    const fs::path canonicalA = fs::weakly_canonical(fs::absolute(a, error), error);
    const fs::path canonicalB = fs::weakly_canonical(fs::absolute(b, error), error);
    return !canonicalA.empty() && canonicalA == canonicalB;
}

} // namespace

std::string FollowLinks(const std::string& strPath)
{
    // As many links as the system itself follows before it gives up (ELOOP).
    constexpr int kMostLinks = 40;
    fs::path path = PathOf(strPath);
    for (int n = 0; n < kMostLinks; ++n)
    {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)))
            return Utf8Of(path);
        const fs::path target = fs::read_symlink(path, error);
        if (error)
            return Utf8Of(path);
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return std::string();
}

bool CheckOutputFiles(const std::vector<COutputFile>& outputs, const std::vector<CInputFile>& inputs,
                      std::string& strError)
{
    std::vector<fs::path> targets;
    for (const COutputFile& output : outputs)
    {
        const std::string strTarget = FollowLinks(output.strPath);
        const std::string strName = output.strOption + " \"" + output.strPath + "\"";
        if (strTarget.empty())
        {
            strError = "cannot write " + strName + ": " + std::strerror(ELOOP);
            return false;
        }
        const fs::path target = PathOf(strTarget);
        std::error_code error;
        const fs::file_status status = fs::status(target, error);
        const bool bExists = fs::exists(status);
        if (bExists && status.type() == fs::file_type::directory)
        {
            strError = "cannot write " + strName + ": " + std::strerror(EISDIR);
            return false;
        }
        if (bExists)
        {
            if (const char* pszWhat = NotAFile(status.type()))
            {
                strError = strName + " " + pszWhat + "; give a regular file or a new name";
                return false;
            }
        }
        else
        {
            const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
            if (!fs::is_directory(folder, error))
            {
                strError = "cannot write " + strName + ": " + std::strerror(ENOENT);
                return false;
            }
        }
        std::string strReason;
        if (!CheckWritable(target, bExists, strReason))
        {
            strError = "cannot write " + strName + ": " + strReason;
            return false;
        }
        for (std::size_t n = 0; n < targets.size(); ++n)
        {
            if (SameFile(target, targets[n]))
            {
                strError = output.strOption + " writes \"" + output.strPath + "\", which " + outputs[n].strOption +
                           " writes as well (as \"" + outputs[n].strPath + "\"); give them different names";
                return false;
            }
        }
        for (const CInputFile& input : inputs)
        {
            if (!input.strPath.empty() && SameFile(target, PathOf(input.strPath)))
            {
                strError = strName + " is " + input.strWhat + " \"" + input.strPath +
                           "\", which the run reads; give another name";
                return false;
            }
        }
        targets.push_back(target);
    }
    return true;
}

} // namespace relvane
