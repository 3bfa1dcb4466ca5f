// relvane-decode: prints the log annotation of '94 and IEC 60870-5-103 frames.
#include "DecodeCommand.h"
#include "HexInput.h"

#include <iostream>
#include <string>
#include <vector>

namespace
{

const char* const kUsage =
    "usage: relvane-decode --protocol 94 [--model KLR10|KTR20] [--check] [BYTE...]\n"
    "       relvane-decode --protocol 103 [--check] [--complete] [BYTE...]\n"
    "Bytes are hexadecimal pairs (01 83 00 30 F0, 01830030F0, 0x01 0x83).\n"
    "Without bytes, frames are read from standard input, one per line.\n"
    "Exit status: 0 annotated, 1 nothing to annotate, 2 bad input.\n";

int DecodeOne(const std::string& strProtocol, relvane::CDecodeRequest& request)
{
    if (strProtocol == "94")
        return relvane::Decode94(request, std::cout, std::cerr);
    return relvane::Decode103(request, std::cout, std::cerr);
}

} // namespace

int main(int argc, char** argv)
{
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
        else if (arg.rfind("--", 0) == 0)
        {
            std::cerr << "relvane-decode: unknown option \"" << arg << "\"\n" << kUsage;
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
    if (request.strModel != "KLR10" && request.strModel != "KTR20")
    {
        std::cerr << "relvane-decode: unknown model \"" << request.strModel << "\" (KLR10 or KTR20)\n";
        return relvane::DECODE_BAD_INPUT;
    }

    std::string strError;
    if (!byteTokens.empty())
    {
        if (!relvane::ParseHexBytes(byteTokens, request.abFrame, strError))
        {
            std::cerr << "relvane-decode: " << strError << '\n';
            return relvane::DECODE_BAD_INPUT;
        }
        return DecodeOne(strProtocol, request);
    }

    // One frame per line; each annotation is followed by an empty line. The exit status is the
    // worst of all lines.
    int nWorst = relvane::DECODE_ANNOTATED;
    int nLine = 0;
    bool bAnyFrame = false;
    std::string line;
    while (std::getline(std::cin, line))
    {
        ++nLine;
        const auto tokens = relvane::SplitTokens(line);
        if (tokens.empty())
            continue;
        bAnyFrame = true;
        if (!relvane::ParseHexBytes(tokens, request.abFrame, strError))
        {
            std::cerr << "relvane-decode: line " << nLine << ": " << strError << '\n';
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
