#include "transport/SerialLinePosix.h"

#include <cstring>

namespace relvane
{
namespace
{

struct CBaudEntry
{
    int nBaud;
    speed_t nSpeed;
};

constexpr CBaudEntry kBaudTable[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

constexpr int kMaxBaud = 4000000;

} // namespace

int BuildTermios(int nBaud, char cParity, CTermiosSettings& settings)
{
    if (nBaud <= 0 || nBaud > kMaxBaud)
        return TERMIOS_BAD_BAUD;

    tcflag_t nParityFlags = 0;
    switch (cParity)
    {
    case 'N':
    case 'n':
        break;
    case 'O':
    case 'o':
        nParityFlags = PARENB | PARODD;
        break;
    case 'E':
    case 'e':
        nParityFlags = PARENB;
        break;
    case 'M':
    case 'm':
        // With CMSPAR the parity bit is constant: PARODD makes it 1 (mark).
        nParityFlags = PARENB | PARODD | CMSPAR;
        break;
    case 'S':
    case 's':
        nParityFlags = PARENB | CMSPAR;
        break;
    default:
        return TERMIOS_BAD_PARITY;
    }

    termios tio;
    std::memset(&tio, 0, sizeof tio);
    // Raw input: no break, CR/LF or software flow handling, no parity marking or stripping.
    tio.c_iflag = 0;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    // 8 data bits, 1 stop bit, receiver on, modem status ignored, no RTS/CTS; lines drop on close.
    tio.c_cflag = CS8 | CREAD | CLOCAL | HUPCL | nParityFlags;
    // Reads never block: the reader waits with poll() and times the 30 ms gap itself.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    settings.nCustomBaud = 0;
    speed_t nSpeed = B38400;
    bool bFound = false;
    for (const CBaudEntry& entry : kBaudTable)
    {
        if (entry.nBaud == nBaud)
        {
            nSpeed = entry.nSpeed;
            bFound = true;
            break;
        }
    }
    if (!bFound)
        settings.nCustomBaud = nBaud;
    cfsetispeed(&tio, nSpeed);
    cfsetospeed(&tio, nSpeed);
    settings.tio = tio;
    return TERMIOS_OK;
}

termios BuildTermiosWithoutParity(const termios& tio)
{
    termios plain = tio;
    plain.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
    return plain;
}

} // namespace relvane
