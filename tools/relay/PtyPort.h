#pragma once

#include <string>

namespace relvane
{

// The relay's end of a pseudo-terminal, registered as COMn in the user port map so that the
// workbench lists it. The relay also holds the terminal side open (raw, no echo): the line then
// survives the workbench closing and opening it again, and nothing the relay writes while no one
// listens comes back to it.
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
};

} // namespace relvane
