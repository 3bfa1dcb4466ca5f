#pragma once

#include <csignal>
#include <sys/resource.h>

namespace relvane::test
{

// While it lives, no file of this process (and of the children it starts) grows past nBytes:
// a write reaching the limit comes up short and the next one fails with EFBIG, as on a disk
// that fills up. SIGXFSZ is ignored meanwhile, so the write reports it instead of ending the
// process; the limit and the signal's disposition are both inherited across exec.
class CFileSizeLimit
{
public:
    explicit CFileSizeLimit(rlim_t nBytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_pfnOld = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = nBytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~CFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_pfnOld);
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_pfnOld)(int) = SIG_DFL;
};

} // namespace relvane::test
