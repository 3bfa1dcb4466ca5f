#include "RunScript.h"

#include <cerrno>
#include <cstdlib>
#include <map>
#include <sstream>

namespace relvane
{
namespace
{

std::vector<std::string> Words(const std::string& line)
{
    std::istringstream stream(line);
    std::vector<std::string> words;
    std::string word;
    while (stream >> word)
        words.push_back(word);
    return words;
}

bool IsNumber(const std::string& text, long nMin, long nMax)
{
    long nValue = 0;
    return ParseScriptNumber(text, nMin, nMax, nValue);
}

// Checks the words after "set"; returns an empty string when they are well formed.
std::string CheckSet(const std::vector<std::string>& args)
{
    if (args.empty())
        return "set needs a setting name";
    const std::string& name = args[0];
    const std::size_t nValues = args.size() - 1;
    if (name == "port")
        return nValues == 1 && args[1].rfind("COM", 0) == 0 && IsNumber(args[1].substr(3), 1, 256)
                   ? ""
                   : "set port takes COMn (n from 1 to 256)";
    if (name == "baud")
        return nValues == 1 && IsNumber(args[1], 1, 4000000) ? "" : "set baud takes a number";
    if (name == "parity")
    {
        static const char* const kParities[] = {"None", "Odd", "Even", "Mark", "Space"};
        if (nValues == 1)
            for (const char* parity : kParities)
                if (args[1] == parity)
                    return "";
        return "set parity takes None, Odd, Even, Mark or Space";
    }
    if (name == "timeout" || name == "interval" || name == "udpinterval")
        return nValues == 1 && IsNumber(args[1], 0, 65535) ? ""
                                                           : "set " + name + " takes milliseconds (0-65535)";
    if (name == "address")
        return nValues == 3 && IsNumber(args[1], 0, 255) && IsNumber(args[2], 0, 255) &&
                       IsNumber(args[3], 0, 255)
                   ? ""
                   : "set address takes ADDRESS CPU GROUP (each 0-255)";
    if (name == "limit")
        return nValues == 2 && (args[1] == "on" || args[1] == "off") && IsNumber(args[2], 0, 2147483647)
                   ? ""
                   : "set limit takes on|off and a line count";
    if (name == "ip")
        return nValues == 3 && IsNumber(args[2], 1, 65535) && IsNumber(args[3], 1, 65535)
                   ? ""
                   : "set ip takes ADDRESS UDPPORT TCPPORT";
    return "unknown setting \"" + name + "\"";
}

std::string CheckAnswer(const std::vector<std::string>& args)
{
    if (args.empty())
        return "answer needs a form name";
    const std::string& form = args[0];
    static const std::map<std::string, std::pair<std::size_t, std::size_t>> kArity = {
        {"clock", {2, 3}},       {"generalcommand", {3, 4}}, {"disturbance", {5, 5}}, {"custom", {1, 100000}},
        {"genericdata", {1, 1}}, {"genericid", {1, 1}},      {"serial", {0, 100000}}, {"address", {3, 3}},
        {"limit", {2, 2}},       {"interval", {1, 1}},       {"ip", {3, 3}},
    };
    const auto found = kArity.find(form);
    if (found == kArity.end())
        return "unknown form \"" + form + "\"";
    const std::size_t nValues = args.size() - 1;
    if (nValues == 1 && args[1] == "cancel")
        return "";
    if (nValues < found->second.first || nValues > found->second.second)
        return "wrong number of values for answer " + form;
    if (form == "clock" && nValues == 3 && args[3] != "reply")
        return "answer clock takes YYYY-MM-DD HH:MM:SS [reply]";
    if (form == "generalcommand" && nValues == 4 && args[4] != "reply")
        return "answer generalcommand takes FUN INF DCO [reply]";
    if (form == "custom" && args[1] != "hex" && args[1] != "dec")
        return "answer custom takes hex|dec and the bytes";
    return "";
}

std::string CheckGeneric(const std::vector<std::string>& args)
{
    if (args.size() == 1 && args[0] == "clear")
        return "";
    if (args.size() >= 2 && args[0] == "add" && args[1] == "id")
        return args.size() == 5 ? "" : "generic add id takes GROUP ENTRY KOD";
    if (args.size() >= 2 && args[0] == "add" && args[1] == "data")
        return args.size() >= 9 && (args[8] == "dec" || args[8] == "hex")
                   ? ""
                   : "generic add data takes GROUP ENTRY KOD TYPE WIDTH NUMBER dec|hex [VALUE...]";
    return "generic takes clear, add id ... or add data ...";
}

} // namespace

bool ParseScriptNumber(const std::string& text, long nMin, long nMax, long& nValue)
{
    if (text.empty() || text.size() > 12)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    errno = 0;
    nValue = std::strtol(text.c_str(), nullptr, 10);
    return errno == 0 && nValue >= nMin && nValue <= nMax;
}

bool ParseRunScript(std::istream& input, std::vector<CScriptStep>& steps, std::string& strError)
{
    steps.clear();
    std::string line;
    int nLine = 0;
    while (std::getline(input, line))
    {
        ++nLine;
        const std::size_t nHash = line.find('#');
        if (nHash != std::string::npos)
            line.erase(nHash);
        std::vector<std::string> words = Words(line);
        if (words.empty())
            continue;
        CScriptStep step;
        step.nLine = nLine;
        step.strVerb = words[0];
        step.args.assign(words.begin() + 1, words.end());

        std::string strProblem;
        if (step.strVerb == "command")
            strProblem =
                step.args.size() == 1 && IsNumber(step.args[0], 0, 65535) ? "" : "command takes one id";
        else if (step.strVerb == "wait")
            strProblem =
                step.args.size() == 1 && IsNumber(step.args[0], 0, 86400000) ? "" : "wait takes milliseconds";
        else if (step.strVerb == "set")
            strProblem = CheckSet(step.args);
        else if (step.strVerb == "answer")
            strProblem = CheckAnswer(step.args);
        else if (step.strVerb == "generic")
            strProblem = CheckGeneric(step.args);
        else
            strProblem = "unknown instruction \"" + step.strVerb + "\"";
        if (!strProblem.empty())
        {
            strError = "line " + std::to_string(nLine) + ": " + strProblem;
            return false;
        }
        steps.push_back(std::move(step));
    }
    return true;
}

} // namespace relvane
