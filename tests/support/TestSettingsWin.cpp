// Linked into every Qt test program on Windows: before main runs, the current user's registry
// (where the recent files and the preview setting live) is redirected into a key of this
// process, and our own settings file into a scratch folder, so that tests running side by side
// never see each other's settings, and none touches the user's. Both go when the program ends.
#include <QDir>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>
#include <windows.h>

namespace
{

class CTestSettings
{
public:
    CTestSettings()
    {
        m_strKey = L"Software\\Relvane test settings\\" + std::to_wstring(GetCurrentProcessId());
        HKEY hKey = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, m_strKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &hKey, nullptr) != ERROR_SUCCESS ||
            RegOverridePredefKey(HKEY_CURRENT_USER, hKey) != ERROR_SUCCESS)
            std::abort(); // a test run that would touch the user's settings must not start
        RegCloseKey(hKey);
        if (!m_dir.isValid())
            std::abort();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    }
    ~CTestSettings()
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, m_strKey.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, m_strKey.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Relvane test settings"); // once no other run uses it
    }
    CTestSettings(const CTestSettings&) = delete;
    CTestSettings& operator=(const CTestSettings&) = delete;

private:
    std::wstring m_strKey;
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/relvane-test-settings-XXXXXX")};
};

const CTestSettings g_settings;

} // namespace
