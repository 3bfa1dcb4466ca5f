#include "app/RecorderControls.h"

#include "FrameFixture.h"
#include "session/SessionCommands.h"

#include <QDockWidget>
#include <QLabel>
#include <QMainWindow>
#include <QSettings>
#include <QTemporaryDir>

using namespace relvane;
using relvane::test::FrameFixture;

namespace
{
QSettings OwnSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("relvane"),
                     QStringLiteral("relvane"));
}
} // namespace

// The stamp form is kept in our own settings file, never beside the recent files, and a new
// window starts with it; the statistics panel starts hidden; a capture shows in the status bar.
TEST_F(FrameFixture, StampsPersistInOurOwnFileAndCaptureShowsInTheStatusBar)
{
    OwnSettings().clear();
    View().Recorder().Stamp().SetForm(STAMP_OFF); // whatever an earlier run left
    Frame().UpdateCommandStates();
    EXPECT_FALSE(Checked(ID_STAMP_TIME_OF_DAY));
    Choose(ID_STAMP_SINCE_CONNECT);
    EXPECT_TRUE(Checked(ID_STAMP_SINCE_CONNECT));
    EXPECT_EQ(OwnSettings().value(QStringLiteral("log/timeStamps")).toInt(), STAMP_SINCE_CONNECT);
    const QSettings profile(QStringLiteral("Local AppWizard-Generated Applications"),
                            QStringLiteral("Relvane"));
    EXPECT_FALSE(profile.allKeys().join(u',').contains(QStringLiteral("Stamp"), Qt::CaseInsensitive));
    {
        // The next start reads it back.
        View().Recorder().Stamp().SetForm(STAMP_OFF);
        QMainWindow window;
        CRecorderControls controls(View(), window);
        EXPECT_EQ(View().Recorder().Stamp().Form(), STAMP_SINCE_CONNECT);
    }
    Choose(ID_STAMP_SINCE_CONNECT);
    EXPECT_EQ(OwnSettings().value(QStringLiteral("log/timeStamps")).toInt(), STAMP_OFF);

    QDockWidget* pPanel = Frame().RecorderControls()->StatisticsPanel();
    EXPECT_TRUE(pPanel->isHidden());
    EXPECT_FALSE(Checked(ID_VIEW_STATISTICS));
    Choose(ID_VIEW_STATISTICS);
    EXPECT_FALSE(pPanel->isHidden());
    EXPECT_TRUE(Checked(ID_VIEW_STATISTICS));

    QTemporaryDir dir;
    const QString strBase = dir.filePath(QStringLiteral("night"));
    CRecorderControls::SetFileNameHook([&](QWidget*) { return strBase + QStringLiteral(".pcapng"); });
    EXPECT_FALSE(Enabled(ID_CAPTURE_STOP));
    Choose(ID_CAPTURE_START);
    CRecorderControls::SetFileNameHook(nullptr);
    EXPECT_TRUE(View().Recorder().IsCapturing());
    EXPECT_TRUE(QFile::exists(strBase + QStringLiteral(".txt")));
    EXPECT_TRUE(QFile::exists(strBase + QStringLiteral(".pcapng")));
    QLabel* pPane = Frame().RecorderControls()->CapturePane();
    EXPECT_FALSE(pPane->isHidden());
    EXPECT_TRUE(pPane->text().contains(QStringLiteral("night.txt/.pcapng"))) << pPane->text().toStdString();
    EXPECT_FALSE(Enabled(ID_CAPTURE_START));
    Choose(ID_CAPTURE_STOP);
    EXPECT_FALSE(View().Recorder().IsCapturing());
    EXPECT_TRUE(pPane->isHidden());
}
