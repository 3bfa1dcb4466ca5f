// The version data the about box shows and, on Windows, where it and the settings come from.
#include "app/OwnSettings.h"
#include "app/VersionData.h"
#ifdef _WIN32
#include "app/VersionResource.h"
#endif

#include <QSettings>
#include <gtest/gtest.h>

namespace relvane
{
namespace
{

// The first value missing ends the reading: it and every value after it leave their lines empty.
TEST(VersionData, FirstMissingValueEmptiesItAndTheRest)
{
    const QString strLegal = QStringLiteral("版权所有");
    const struct
    {
        bool bLegal, bProduct, bSpecial;
        const char* pszVersion;
        const char* pszBuild;
        const char* pszLegal;
    } cases[] = {
        {true, true, true, "Relvane 1.50 版", "Build 20040928", "版权所有"},
        {true, true, false, "Relvane 1.50 版", "", "版权所有"},
        {true, false, true, "", "", "版权所有"},
        {false, true, true, "", "", ""},
    };
    for (const auto& c : cases)
    {
        const CVersionData data =
            FormVersionData(c.bLegal ? std::optional(strLegal) : std::nullopt,
                            c.bProduct ? std::optional(QStringLiteral("1.50")) : std::nullopt,
                            c.bSpecial ? std::optional(QStringLiteral("20040928")) : std::nullopt);
        EXPECT_EQ(data.strVersion, QString::fromUtf8(c.pszVersion));
        EXPECT_EQ(data.strBuild, QString::fromUtf8(c.pszBuild));
        EXPECT_EQ(data.strLegalNotice, QString::fromUtf8(c.pszLegal));
    }
}

#ifdef _WIN32
// relvane.exe carries the version resource; a program without one gives empty lines.
TEST(VersionData, ReadFromTheWindowsVersionResource)
{
    const CVersionData data = ReadVersionResource(QStringLiteral(RELVANE_EXECUTABLE));
    EXPECT_EQ(data.strVersion, QStringLiteral("Relvane 1.50 版"));
    EXPECT_EQ(data.strBuild, QStringLiteral("Build 20040928"));
    EXPECT_EQ(data.strLegalNotice, QStringLiteral("版权所有 (C) 2026 Relvane 贡献者"));
    EXPECT_EQ(ProgramVersionData().strVersion, data.strVersion); // the tests carry the same resource
    const CVersionData none = ReadVersionResource(QStringLiteral("C:\\windows\\no-such-program.exe"));
    EXPECT_TRUE(none.strVersion.isEmpty() && none.strBuild.isEmpty() && none.strLegalNotice.isEmpty());
}

// The recent files stay in the registry key of the application; our own settings in a file.
TEST(WindowsSettings, RegistryKeyForTheRecentFilesAndOurOwnFileBesideIt)
{
    const QSettings specified(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Relvane"));
    EXPECT_EQ(specified.format(), QSettings::NativeFormat);
    EXPECT_EQ(specified.fileName(),
              QStringLiteral("\\HKEY_CURRENT_USER\\Software\\Local AppWizard-Generated Applications\\Relvane"));
    const QSettings own = OwnSettings();
    EXPECT_EQ(own.format(), QSettings::IniFormat);
    EXPECT_TRUE(own.fileName().endsWith(QStringLiteral("/relvane/relvane.ini"))) << own.fileName().toStdString();
}
#endif

} // namespace
} // namespace relvane
