// relvane-run: runs a session script without a window and prints the log it wrote.
#include "RunScript.h"
#include "RunnerUserInterface.h"
#include "ScriptRunner.h"
#include "session/IUserInterface.h"
#include "session/RelvaneView.h"
#include "transport/NetworkChannel.h"
#include "transport/SerialChannel.h"

#include <QGuiApplication>
#include <clocale>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

namespace
{

const char* const kUsage = "usage: relvane-run [--log FILE] SCRIPT   (SCRIPT - reads standard input)\n";

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string strLogFile;
    std::string strScript;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
        {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--log" && i + 1 < argc)
            strLogFile = argv[++i];
        else if (strScript.empty() && (arg == "-" || arg.rfind("--", 0) != 0))
            strScript = arg;
        else
        {
            std::cerr << "relvane-run: unexpected argument \"" << arg << "\"\n" << kUsage;
            return 2;
        }
    }
    if (strScript.empty())
    {
        std::cerr << kUsage;
        return 2;
    }
    if (!strLogFile.empty() && EndsWith(strLogFile, ".rtf"))
    {
        std::cerr << "relvane-run: saving the log as RTF is not available yet; use a .txt file\n";
        return 2;
    }

    std::vector<relvane::CScriptStep> steps;
    std::string strError;
    {
        std::ifstream file;
        std::istream* pInput = &std::cin;
        if (strScript != "-")
        {
            file.open(strScript);
            if (!file)
            {
                std::cerr << "relvane-run: cannot read \"" << strScript << "\"\n";
                return 2;
            }
            pInput = &file;
        }
        if (!relvane::ParseRunScript(*pInput, steps, strError))
        {
            std::cerr << "relvane-run: " << strScript << ": " << strError << '\n';
            return 2;
        }
    }

    // The log document needs a GUI application object, never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Qt adopts the user's locale; frame annotations always write numbers with a decimal point.
    std::setlocale(LC_NUMERIC, "C");

    relvane::CRunnerUserInterface ui(std::cerr);
    relvane::CRelvaneView view(std::make_unique<relvane::CSerialChannel>(),
                               std::make_unique<relvane::CNetworkChannel>(), ui);
    relvane::CScriptRunner runner(view, ui, std::cerr);
    const bool bRan = runner.Run(steps, strError);

    const std::string strLog = view.LogText();
    std::cout << strLog;
    std::cout.flush();
    if (!strLogFile.empty())
    {
        std::ofstream out(strLogFile, std::ios::binary);
        out << strLog;
        if (!out)
        {
            std::cerr << "relvane-run: cannot write \"" << strLogFile << "\"\n";
            return 2;
        }
    }
    if (!bRan)
    {
        std::cerr << "relvane-run: " << strScript << ": " << strError << '\n';
        return 2;
    }
    return 0;
}
