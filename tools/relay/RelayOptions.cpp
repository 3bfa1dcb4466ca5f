#include "RelayOptions.h"
#include RELVANE_RELAY_PORT_HELP_HEADER

#include <charconv>
#include <limits>

namespace relvane
{

const char* const kRelayUsage =
    "usage: relvane-relay [OPTION]...\n"
    "Plays one protection relay towards the Relvane workbench.\n"
    "\n"
    "  --protocol auto|94|103|eth103  protocol (default auto: answer each frame in its own)\n"
    RELVANE_RELAY_PORT_HELP
    "  --address N           device and link address, 0 to 254 (default 1)\n"
    "  --model KLR10|KTR20   '94 relay model (default KLR10)\n"
    "  --event-interval MS   one numbered spontaneous event every MS ms (default 0: none)\n"
    "  --fault-rate PERCENT  share of serial answers that get a fault, 0 to 100 (default 0)\n"
    "  --faults LIST         comma list of checksum,split,nack,silence,merge (default all)\n"
    "  --seed N              seed of the fault draws (default 1)\n"
    "  --single-char-ack     103: confirm and say \"no data\" with the single character E5\n"
    "  --answer-delay MS     103: the data a command asks for are ready MS ms after its\n"
    "                        confirmation (default 0)\n"
    "  --measurand-cycle MS  103: measurands every MS ms in class 2, whatever the master resets\n"
    "                        (default 0: after each reset, then at most every 5 s)\n"
    "  --defect NAME[,NAME]  serial: plant protocol defects (repeatable); --defect list names them\n"
    "  --disturbance-faults LIST  103 disturbance transfer: comma list of abort,lost,garbled\n"
    "                        (each once per selected record; default none)\n"
    "  --tcp-port P          eth103: the workbench's TCP listener on 127.0.0.1 (default 1048)\n"
    "  --udp-port Q          eth103: UDP port on 127.0.0.1 for the workbench's frames (default 1032)\n"
    "  --quiet               print only errors\n"
    "  --help, --version\n"
    "\n"
    "Prints one line per frame received and sent. Exit status: 0 after SIGINT or SIGTERM,\n"
    "1 when the pseudo-terminal cannot be opened or COMN or the UDP port is taken, 2 for bad arguments.\n";

namespace
{

bool ParseNumber(const std::string& strText, long long nMin, long long nMax, long long& nValue)
{
    const char* pBegin = strText.data();
    const char* pEnd = pBegin + strText.size();
    const auto result = std::from_chars(pBegin, pEnd, nValue);
    return !strText.empty() && result.ec == std::errc() && result.ptr == pEnd && nValue >= nMin &&
           nValue <= nMax;
}

// An option without a value.
struct CFlagOption
{
    const char* pszName;
    void (*pfnSet)(CRelayOptions& options);
};

// An option that takes a whole number in a range.
struct CNumberOption
{
    const char* pszName;
    long long nMin;
    long long nMax;
    void (*pfnSet)(CRelayOptions& options, long long nValue);
};

// An option that takes a word or a list; Error when the value is not one it knows (strError says
// why), Run when taken.
struct CTextOption
{
    const char* pszName;
    OptionsResult (*pfnSet)(CRelayOptions& options, const std::string& strValue, std::string& strError);
};

const CFlagOption kFlagOptions[] = {
    {"--quiet", [](CRelayOptions& options) { options.bQuiet = true; }},
    {"--single-char-ack", [](CRelayOptions& options) { options.settings.bSingleCharAck = true; }},
};

const CNumberOption kNumberOptions[] = {
    {"--com", 1, 256,
     [](CRelayOptions& options, long long nValue) { options.nCom = static_cast<int>(nValue); }},
    {"--address", 0, 254,
     [](CRelayOptions& options, long long nValue)
     { options.settings.nAddress = static_cast<std::uint8_t>(nValue); }},
    {"--event-interval", 0, 86400000,
     [](CRelayOptions& options, long long nValue)
     { options.settings.nEventIntervalMs = static_cast<int>(nValue); }},
    {"--answer-delay", 0, 60000,
     [](CRelayOptions& options, long long nValue)
     { options.settings.nAnswerDelayMs = static_cast<int>(nValue); }},
    {"--measurand-cycle", 0, 3600000,
     [](CRelayOptions& options, long long nValue)
     { options.settings.nMeasurandCycleMs = static_cast<int>(nValue); }},
    {"--fault-rate", 0, 100,
     [](CRelayOptions& options, long long nValue)
     { options.settings.nFaultRatePercent = static_cast<int>(nValue); }},
    {"--seed", 0, std::numeric_limits<std::uint32_t>::max(),
     [](CRelayOptions& options, long long nValue)
     { options.settings.nSeed = static_cast<std::uint32_t>(nValue); }},
    {"--tcp-port", 1, 65535,
     [](CRelayOptions& options, long long nValue) { options.nTcpPort = static_cast<int>(nValue); }},
    {"--udp-port", 1, 65535,
     [](CRelayOptions& options, long long nValue) { options.nUdpPort = static_cast<int>(nValue); }},
};

OptionsResult SetProtocol(CRelayOptions& options, const std::string& strValue, std::string& strError)
{
    options.eMode = RelayMode::Serial;
    if (strValue == "auto")
        options.settings.eProtocol = RELAY_AUTO;
    else if (strValue == "94")
        options.settings.eProtocol = RELAY_94;
    else if (strValue == "103")
        options.settings.eProtocol = RELAY_103;
    else if (strValue == "eth103")
        options.eMode = RelayMode::Ethernet;
    else
    {
        strError = "--protocol takes auto, 94, 103 or eth103, not \"" + strValue + "\"";
        return OptionsResult::Error;
    }
    return OptionsResult::Run;
}

OptionsResult SetModel(CRelayOptions& options, const std::string& strValue, std::string& strError)
{
    if (strValue == "KLR10")
        options.settings.eModel = KLR10;
    else if (strValue == "KTR20")
        options.settings.eModel = KTR20;
    else
    {
        strError = "--model takes KLR10 or KTR20, not \"" + strValue + "\"";
        return OptionsResult::Error;
    }
    return OptionsResult::Run;
}

OptionsResult SetFaults(CRelayOptions& options, const std::string& strValue, std::string& strError)
{
    if (ParseFaultList(strValue, options.settings.nFaultMask))
        return OptionsResult::Run;
    strError =
        "--faults takes a comma list of checksum, split, nack, silence and merge, not \"" + strValue + "\"";
    return OptionsResult::Error;
}

OptionsResult SetDisturbanceFaults(CRelayOptions& options, const std::string& strValue, std::string& strError)
{
    if (ParseDisturbanceFaultList(strValue, options.settings.nDisturbanceFaults))
        return OptionsResult::Run;
    strError = "--disturbance-faults takes a comma list of abort, lost and garbled, not \"" + strValue + "\"";
    return OptionsResult::Error;
}

OptionsResult AddDefects(CRelayOptions& options, const std::string& strValue, std::string& strError)
{
    if (strValue == "list")
        return OptionsResult::ListDefects;
    std::string strBad;
    if (options.settings.defects.AddList(strValue, strBad))
        return OptionsResult::Run;
    strError = "--defect: no defect is called \"" + strBad + "\" (--defect list names them)";
    return OptionsResult::Error;
}

const CTextOption kTextOptions[] = {
    {"--protocol", SetProtocol}, {"--model", SetModel},
    {"--faults", SetFaults},     {"--disturbance-faults", SetDisturbanceFaults},
    {"--defect", AddDefects},
};

template <typename Option, std::size_t N>
const Option* FindOption(const Option (&table)[N], const std::string& strName)
{
    for (const Option& option : table)
    {
        if (strName == option.pszName)
            return &option;
    }
    return nullptr;
}

} // namespace

OptionsResult ParseRelayOptions(int argc, const char* const* argv, CRelayOptions& options,
                                std::string& strError)
{
    for (int i = 1; i < argc; ++i)
    {
        std::string strName = argv[i];
        if (strName == "--help" || strName == "-h")
            return OptionsResult::Help;
        if (strName == "--version")
            return OptionsResult::Version;
        if (const CFlagOption* pFlag = FindOption(kFlagOptions, strName))
        {
            pFlag->pfnSet(options);
            continue;
        }
        // "--name=value" or "--name value".
        std::string strValue;
        bool bHasValue = false;
        const std::size_t nEquals = strName.find('=');
        if (strName.rfind("--", 0) == 0 && nEquals != std::string::npos)
        {
            strValue = strName.substr(nEquals + 1);
            strName.resize(nEquals);
            bHasValue = true;
        }
        const CNumberOption* pNumber = FindOption(kNumberOptions, strName);
        const CTextOption* pText = FindOption(kTextOptions, strName);
        if (pNumber == nullptr && pText == nullptr)
        {
            strError = "unknown option \"" + strName + "\"";
            return OptionsResult::Error;
        }
        if (!bHasValue)
        {
            if (i + 1 >= argc)
            {
                strError = strName + " needs a value";
                return OptionsResult::Error;
            }
            strValue = argv[++i];
        }
        if (pText != nullptr)
        {
            const OptionsResult eResult = pText->pfnSet(options, strValue, strError);
            if (eResult != OptionsResult::Run)
                return eResult;
            continue;
        }
        long long nValue = 0;
        if (!ParseNumber(strValue, pNumber->nMin, pNumber->nMax, nValue))
        {
            strError = strName + " takes a number from " + std::to_string(pNumber->nMin) + " to " +
                       std::to_string(pNumber->nMax) + ", not \"" + strValue + "\"";
            return OptionsResult::Error;
        }
        pNumber->pfnSet(options, nValue);
    }
    return OptionsResult::Run;
}

} // namespace relvane
