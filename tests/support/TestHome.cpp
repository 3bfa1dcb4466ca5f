// Linked into every test program: before main runs, HOME and XDG_CONFIG_HOME point into a fresh
// directory of this process, so that no test reads or writes the user's own port map, settings
// or recent files (a running `make run` keeps its relay's COM200 link there). The home the
// program was started with stays readable as RELVANE_TEST_STARTED_HOME, for the test that
// proves it is never used; programs started by a test (which find it set) keep the environment
// the test gave them.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#ifdef _WIN32
#include <process.h>
#endif

namespace
{

class CTestHome
{
public:
    CTestHome()
    {
        // No test, nor any program a test starts, may send a frame beyond loopback.
        SetVariable("RELVANE_LOOPBACK_ONLY", "1");
        // A helper a test starts runs in the environment that test gave it.
        if (std::getenv("RELVANE_TEST_STARTED_HOME") != nullptr)
            return;
        m_dir = MakeHome();
        if (m_dir.empty())
            std::abort(); // a test run that would touch the real home must not start
        const char* pszStarted = std::getenv("HOME");
        SetVariable("RELVANE_TEST_STARTED_HOME", pszStarted != nullptr ? pszStarted : "");
        SetVariable("HOME", m_dir.string().c_str());
        SetVariable("XDG_CONFIG_HOME", (m_dir / ".config").string().c_str());
    }
    ~CTestHome()
    {
        std::error_code error;
        if (!m_dir.empty())
            std::filesystem::remove_all(m_dir, error);
    }
    CTestHome(const CTestHome&) = delete;
    CTestHome& operator=(const CTestHome&) = delete;

private:
#ifdef _WIN32
    // Windows has no mkdtemp: a folder named after the process under the user's temporary folder.
    static std::filesystem::path MakeHome()
    {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::temp_directory_path(error);
        if (error)
            return {};
        for (int nTry = 0; nTry < 100; ++nTry)
        {
            std::filesystem::path dir =
                base / ("relvane-test-home-" + std::to_string(_getpid()) + "-" + std::to_string(nTry));
            if (std::filesystem::create_directory(dir, error))
                return dir;
        }
        return {};
    }
    static void SetVariable(const char* pszName, const char* pszValue) { _putenv_s(pszName, pszValue); }
#else
    static std::filesystem::path MakeHome()
    {
        char szDir[] = "/tmp/relvane-test-home-XXXXXX";
        if (mkdtemp(szDir) == nullptr)
            return {};
        return szDir;
    }
    static void SetVariable(const char* pszName, const char* pszValue) { setenv(pszName, pszValue, 1); }
#endif

    std::filesystem::path m_dir;
};

const CTestHome g_home;

} // namespace
