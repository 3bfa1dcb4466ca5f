#pragma once

#include <string>

namespace relvane
{

// The relay's end of a pseudo-terminal, registered as COMn in the user port map so that the
// workbench lists it. The relay also holds the terminal side open (raw, no echo): the line then
// survives the workbench closing and opening it again, and nothing the relay writes while no one
// listens comes back to it.
//
// Beside the link, a hidden record ".COMn.relay" names the terminal the link was made for and is
// locked (flock) while the relay runs. A relay that was killed leaves its link behind; the next
// relay on that number sees the record unlocked and naming the link's target, and takes the link
// over even when that terminal number was given to another program since. A link the record
// does not name belongs to someone else and is left alone.
class CPtyPort
{
public:
    CPtyPort() = default;
    ~CPtyPort();
    CPtyPort(const CPtyPort&) = delete;
    CPtyPort& operator=(const CPtyPort&) = delete;

    // Opens the pseudo-terminal and links COMn to it. False with strError set when that fails
    // (strError then names the reason: no pseudo-terminal, or COMn taken).
    bool Open(int nCom, std::string& strError);
    // Removes the COMn link (if it is still ours) and closes the terminal.
    void Close();

    int MasterFd() const { return m_nMasterFd; }
    const std::string& TerminalPath() const { return m_strTerminal; }
    const std::string& LinkPath() const { return m_strLink; }

private:
    int m_nMasterFd = -1;
    int m_nSlaveFd = -1;
    std::string m_strTerminal;
    std::string m_strLink;
    bool m_bLinked = false;
    int m_nRecordFd = -1; // the record, locked while the port is open
    bool m_bRecordLocked = false;
};

} // namespace relvane
