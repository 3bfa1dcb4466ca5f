// relvane-decode: prints the log annotation of '94 and IEC 60870-5-103 frames.
#include "ConsoleText.h"
#include "DecodeCommand.h"
#include "HexInput.h"
#include "LineInput.h"
#include "PrintableText.h"

#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{

const char* const kUsage =
    "usage: relvane-decode --protocol 94 [--model KLR10|KTR20] [--check] [BYTE...]\n"
    "       relvane-decode --protocol 103 [--check] [--complete] [--full] [BYTE...]\n"
    "Bytes are hexadecimal pairs (01 83 00 30 F0, 01830030F0, 0x01 0x83).\n"
    "Without bytes, frames are read from standard input, one per line (at most 1 MB each).\n"
    "--full adds the full explanation of a 103 ASDU body after the annotation.\n"
    "Requests from the master have no annotation: they print nothing and give status 1.\n"
    "Exit status: 0 annotated, 1 nothing to annotate, 2 bad input.\n";

int DecodeOne(const std::string& strProtocol, relvane::CDecodeRequest& request)
{
    if (strProtocol == "94")
        return relvane::Decode94(request, std::cout, std::cerr);
    return relvane::Decode103(request, std::cout, std::cerr);
}

// One frame per line of standard input; each annotation is followed by an empty line. The exit
// status is the worst of all lines. A line over the limit ends the input: what follows it cannot
// be told apart from the rest of that line.
int DecodeLines(const std::string& strProtocol, relvane::CDecodeRequest& request)
{
    struct stat info = {};
    if (fstat(0, &info) == 0 && S_ISDIR(info.st_mode))
    {
        std::cerr << "relvane-decode: standard input is a directory\n";
        return relvane::DECODE_BAD_INPUT;
    }
    std::ios::sync_with_stdio(false);
    std::string strError;
    int nWorst = relvane::DECODE_ANNOTATED;
    long long nLine = 0;
    bool bAnyFrame = false;
    std::string line;
    for (;;)
    {
        ++nLine;
        const relvane::LineRead read = relvane::ReadBoundedLine(*std::cin.rdbuf(), line);
        if (read == relvane::LINE_END)
            break;
        if (read == relvane::LINE_TOO_LONG)
        {
            std::cerr << "relvane-decode: " << relvane::LineTooLongMessage(nLine) << "; input ends here\n";
            return relvane::DECODE_BAD_INPUT;
        }
        const auto tokens = relvane::SplitTokens(line);
        if (tokens.empty())
            continue;
        bAnyFrame = true;
        if (!relvane::ParseHexBytes(tokens, request.abFrame, strError))
        {
            std::cerr << "relvane-decode: line " << nLine << ": " << relvane::PrintableText(strError) << '\n';
            nWorst = relvane::DECODE_BAD_INPUT;
            continue;
        }
        const int nResult = DecodeOne(strProtocol, request);
        if (nResult == relvane::DECODE_ANNOTATED)
            std::cout << "\n\n";
        if (nResult > nWorst)
            nWorst = nResult;
    }
    if (!bAnyFrame)
    {
        std::cerr << "relvane-decode: no frame bytes given\n";
        return relvane::DECODE_BAD_INPUT;
    }
    return nWorst;
}

} // namespace

int main(int argc, char** argv)
{
    relvane::UseConsoleText();
    std::string strProtocol;
    relvane::CDecodeRequest request;
    std::vector<std::string> byteTokens;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
        {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--protocol" && i + 1 < argc)
            strProtocol = argv[++i];
        else if (arg == "--model" && i + 1 < argc)
            request.strModel = argv[++i];
        else if (arg == "--check")
            request.bCheck = true;
        else if (arg == "--complete")
            request.bComplete = true;
        else if (arg == "--full")
            request.bFull = true;
        else if (arg.rfind("--", 0) == 0)
        {
            std::cerr << "relvane-decode: unknown option \"" << relvane::PrintableText(arg) << "\"\n" << kUsage;
            return relvane::DECODE_BAD_INPUT;
        }
        else
            byteTokens.push_back(arg);
    }
    if (strProtocol != "94" && strProtocol != "103")
    {
        std::cerr << "relvane-decode: --protocol must be 94 or 103\n" << kUsage;
        return relvane::DECODE_BAD_INPUT;
    }
    if (request.bFull && strProtocol != "103")
    {
        std::cerr << "relvane-decode: --full explains 103 frames only\n";
        return relvane::DECODE_BAD_INPUT;
    }
    if (request.strModel != "KLR10" && request.strModel != "KTR20")
    {
        std::cerr << "relvane-decode: unknown model \"" << relvane::PrintableText(request.strModel)
                  << "\" (KLR10 or KTR20)\n";
        return relvane::DECODE_BAD_INPUT;
    }

    std::string strError;
    if (!byteTokens.empty())
    {
        if (!relvane::ParseHexBytes(byteTokens, request.abFrame, strError))
        {
            std::cerr << "relvane-decode: " << relvane::PrintableText(strError) << '\n';
            return relvane::DECODE_BAD_INPUT;
        }
        return DecodeOne(strProtocol, request);
    }
    try
    {
        return DecodeLines(strProtocol, request);
    }
    catch (const std::bad_alloc&)
    {
        std::cerr << "relvane-decode: out of memory\n";
        return relvane::DECODE_BAD_INPUT;
    }
}
