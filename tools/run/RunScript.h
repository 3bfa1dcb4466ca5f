#pragma once

#include <istream>
#include <string>
#include <vector>

namespace relvane
{

// One step of a relvane-run script, checked for shape when the script is read so that a typing
// error stops the run before anything is sent.
struct CScriptStep
{
    int nLine = 0;
    std::string strVerb;           // command, set, answer, generic, wait
    std::vector<std::string> args; // the words after the verb
};

// Reads a whole script. On the first bad line returns false with a message naming the line.
bool ParseRunScript(std::istream& input, std::vector<CScriptStep>& steps, std::string& strError);

// Decimal number in [nMin, nMax]; false for anything else.
bool ParseScriptNumber(const std::string& text, long nMin, long nMax, long& nValue);

} // namespace relvane
