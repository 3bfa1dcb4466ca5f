#include "RunScript.h"

#include "LineInput.h"
#include "PrintableText.h"
#include "common/SerialSettings.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <sstream>

namespace relvane
{
namespace
{

// Bytes the custom-frame form keeps.
constexpr std::size_t kMaxCustomFrame = 8192;
// A script is read whole before it runs; endless input (`yes`) must end in an error, not in
// exhausted memory. Generous for generated soak scripts.
constexpr int kMaxScriptLines = 10000000;
constexpr std::size_t kMaxScriptSteps = 1000000;

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
        if (nValues == 1 && FindParityName(args[1]) >= 0)
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
    return "unknown setting \"" + TokenExcerpt(name) + "\"";
}

// One byte as the custom-frame form is meant to be typed: one or two hexadecimal digits (an
// optional 0x before them) or a decimal number up to 255. The form itself reads anything it can
// and wraps large values; a script says what it means or is refused.
bool IsByteToken(const std::string& token, bool bHex)
{
    if (!bHex)
        return IsNumber(token, 0, 255);
    std::size_t nStart = token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X') ? 2 : 0;
    const std::size_t nDigits = token.size() - nStart;
    if (nDigits == 0 || nDigits > 2)
        return false;
    for (; nStart < token.size(); ++nStart)
        if (!std::isxdigit(static_cast<unsigned char>(token[nStart])))
            return false;
    return true;
}

std::string CheckCustomBytes(const std::vector<std::string>& args)
{
    if (args[1] != "hex" && args[1] != "dec")
        return "answer custom takes hex|dec and the bytes";
    const bool bHex = args[1] == "hex";
    if (args.size() - 2 > kMaxCustomFrame)
        return "answer custom takes at most " + std::to_string(kMaxCustomFrame) + " bytes";
    for (std::size_t i = 2; i < args.size(); ++i)
        if (!IsByteToken(args[i], bHex))
            return "answer custom " + args[1] + ": \"" + TokenExcerpt(args[i]) + "\" is not a " +
                   (bHex ? "hexadecimal byte (00-FF)" : "decimal byte (0-255)");
    return "";
}

// The numbers an answer carries, in order, with their ranges; a value outside is refused here
// rather than replaced by the form's default when the form opens.
std::string CheckAnswerNumbers(const std::string& form, const std::vector<std::string>& args)
{
    struct CRange
    {
        long nMin;
        long nMax;
    };
    static const std::map<std::string, std::vector<CRange>> kNumbers = {
        {"generalcommand", {{0, 255}, {0, 255}, {1, 2}}},
        {"disturbance", {{0, 255}, {0, 255}, {0, 255}, {0, 65535}, {0, 255}}},
        {"genericdata", {{0, 255}}},
        {"genericid", {{0, 255}}},
        {"address", {{0, 255}, {0, 255}, {0, 255}}},
        {"interval", {{0, 65535}}},
    };
    const auto found = kNumbers.find(form);
    if (found == kNumbers.end())
        return "";
    for (std::size_t i = 0; i < found->second.size() && i + 1 < args.size(); ++i)
    {
        const CRange& range = found->second[i];
        if (!IsNumber(args[i + 1], range.nMin, range.nMax))
            return "answer " + form + ": \"" + TokenExcerpt(args[i + 1]) + "\" is not a number from " +
                   std::to_string(range.nMin) + " to " + std::to_string(range.nMax);
    }
    return "";
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
        return "unknown form \"" + TokenExcerpt(form) + "\"";
    const std::size_t nValues = args.size() - 1;
    if (nValues == 1 && args[1] == "cancel")
        return "";
    if (nValues < found->second.first || nValues > found->second.second)
        return "wrong number of values for answer " + form;
    if (form == "clock" && nValues == 3 && args[3] != "reply")
        return "answer clock takes YYYY-MM-DD HH:MM:SS [reply]";
    if (form == "generalcommand" && nValues == 4 && args[4] != "reply")
        return "answer generalcommand takes FUN INF DCO [reply]";
    if (form == "custom")
        return CheckCustomBytes(args);
    return CheckAnswerNumbers(form, args);
}

std::string CheckGeneric(const std::vector<std::string>& args)
{
    if (args.size() == 1 && args[0] == "clear")
        return "";
    // GROUP, ENTRY, WIDTH and NUMBER are bytes of the list entry.
    const auto Bytes = [&args](std::initializer_list<std::size_t> positions)
    {
        for (const std::size_t i : positions)
            if (!IsNumber(args[i], 0, 255))
                return false;
        return true;
    };
    if (args.size() >= 2 && args[0] == "add" && args[1] == "id")
        return args.size() == 5 && Bytes({2, 3})
                   ? ""
                   : "generic add id takes GROUP ENTRY KOD (GROUP, ENTRY 0-255)";
    if (args.size() >= 2 && args[0] == "add" && args[1] == "data")
        return args.size() >= 9 && (args[8] == "dec" || args[8] == "hex") && Bytes({2, 3, 6, 7})
                   ? ""
                   : "generic add data takes GROUP ENTRY KOD TYPE WIDTH NUMBER dec|hex [VALUE...] "
                     "(GROUP, ENTRY, WIDTH, NUMBER 0-255)";
    return "generic takes clear, add id ... or add data ...";
}

std::string CheckDisturbance(const std::vector<std::string>& args)
{
    if (args.size() == 1 && args[0] == "list")
        return "";
    if (args.size() >= 3 && args.size() <= 4 && args[0] == "upload" && IsNumber(args[1], 1, 65535) &&
        (args.size() == 3 || args[3] == "ascii" || args[3] == "binary"))
        return "";
    return "disturbance takes list, or upload FAN DIR [ascii|binary] (FAN 1-65535)";
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
    for (;;)
    {
        ++nLine;
        const LineRead read = ReadBoundedLine(*input.rdbuf(), line);
        if (read == LINE_END)
            break;
        if (read == LINE_TOO_LONG)
        {
            strError = LineTooLongMessage(nLine);
            return false;
        }
        // Editors on Windows start a UTF-8 file with a byte-order mark.
        if (nLine == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)
            line.erase(0, 3);
        if (nLine > kMaxScriptLines)
        {
            strError = "line " + std::to_string(nLine) + ": a script is limited to " +
                       std::to_string(kMaxScriptLines) + " lines";
            return false;
        }
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
        else if (step.strVerb == "disturbance")
            strProblem = CheckDisturbance(step.args);
        else
            strProblem = "unknown instruction \"" + TokenExcerpt(step.strVerb) + "\"";
        if (!strProblem.empty())
        {
            strError = "line " + std::to_string(nLine) + ": " + strProblem;
            return false;
        }
        if (steps.size() >= kMaxScriptSteps)
        {
            strError = "line " + std::to_string(nLine) + ": a script is limited to " +
                       std::to_string(kMaxScriptSteps) + " instructions";
            return false;
        }
        steps.push_back(std::move(step));
    }
    return true;
}

} // namespace relvane
