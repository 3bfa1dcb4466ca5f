#pragma once

#include <string>
#include <vector>

namespace relvane
{

// A file a headless run writes, and the option that names it ("--log", "--capture", "--report").
struct COutputFile
{
    std::string strPath;
    std::string strOption;
};

// A file a run reads ("the script", "--options").
struct CInputFile
{
    std::string strPath;
    std::string strWhat;
};

// Checks every file a run will write before any of them is created or emptied: each must be a
// regular file that can be written or a new file in a folder that exists and takes it (a folder,
// pipe, device or socket is refused, a link judged by what it points at, also when that does not
// exist yet), and no two of them, nor any of them and a file the run reads, may be the same file
// (after following links, hard links included). Nothing is left changed: a file made to see
// whether the folder takes it is removed again. False with a message naming the file and why.
bool CheckOutputFiles(const std::vector<COutputFile>& outputs, const std::vector<CInputFile>& inputs,
                      std::string& strError);

// The file a name ends at once its links are followed, also when that file does not exist yet
// (a dangling link); the name itself when it is no link. Empty after too many links.
std::string FollowLinks(const std::string& strPath);

} // namespace relvane
