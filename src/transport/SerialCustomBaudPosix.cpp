// Kept apart from the termios code: the kernel's termios2 header clashes with <termios.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace relvane
{

bool WriteCustomBaud(int nFd, int nBaud)
{
    struct termios2 tio2;
    if (ioctl(nFd, TCGETS2, &tio2) != 0)
        return false;
    tio2.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
    tio2.c_cflag |= BOTHER;
    tio2.c_ispeed = static_cast<speed_t>(nBaud);
    tio2.c_ospeed = static_cast<speed_t>(nBaud);
    return ioctl(nFd, TCSETS2, &tio2) == 0;
}

} // namespace relvane
