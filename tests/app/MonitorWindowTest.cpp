#include "app/MonitorWindow.h"
#include "FileSizeLimit.h"

#include "FrameFixture.h"
#include "app/MainFrame.h"
#include "monitor/LineMonitor.h"
#include "session/LogDocument.h"
#include "session/SessionCommands.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <termios.h>
#include <unistd.h>

using namespace relvane;
using relvane::test::FrameFixture;

namespace
{

// Runs the event loop until the condition holds or the time has passed.
bool WaitUntil(const std::function<bool()>& fnDone, int nMs = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!fnDone() && timer.elapsed() < nMs)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return fnDone();
}

} // namespace

// "选项" → "线路监视…" opens the window beside the workbench; it listens on two pseudo-terminals,
// shows the frames and the statistics, captures and saves, and refuses fields that do not make a
// line; the workbench's own log is not touched.
TEST_F(FrameFixture, LineMonitorWindowListensCapturesAndSaves)
{
    QTemporaryDir dir;
    const std::filesystem::path ports = dir.filePath(QStringLiteral("relvane/ports")).toStdString();
    std::filesystem::create_directories(ports);
    const QByteArray abOldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    std::vector<int> anMasters;
    for (int nPort : {41, 42})
    {
        const int nMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(nMaster, 0);
        grantpt(nMaster);
        unlockpt(nMaster);
        std::filesystem::create_symlink(ptsname(nMaster), ports / ("COM" + std::to_string(nPort)));
        anMasters.push_back(nMaster);
    }
    const std::string strWorkbenchLog = View().LogText();

    ASSERT_TRUE(Enabled(ID_LINE_MONITOR));
    Choose(ID_LINE_MONITOR);
    CMonitorWindow* pWindow = Frame().MonitorWindow();
    ASSERT_NE(pWindow, nullptr);
    EXPECT_TRUE(pWindow->isVisible());
    EXPECT_EQ(pWindow->windowTitle(), QStringLiteral("线路监视"));
    auto Box = [pWindow](const char* pszName) { return pWindow->findChild<QComboBox*>(QString::fromLatin1(pszName)); };
    // Both lines on one port is refused with a message.
    Box("masterPort")->setCurrentText(QStringLiteral("COM41"));
    Box("relayPort")->setCurrentText(QStringLiteral("COM41"));
    pWindow->OnStart();
    EXPECT_FALSE(pWindow->Monitor().IsRunning());
    EXPECT_EQ(pWindow->StatusLabel()->text(), QStringLiteral("主站发送和装置发送须是两个不同的端口"));

    Box("relayPort")->setCurrentText(QStringLiteral("COM42"));
    Box("baud")->setCurrentText(QStringLiteral("115200"));
    QTemporaryDir files;
    CMonitorWindow::SetFileNameHook([&](const QString&) { return files.filePath(QStringLiteral("line.pcapng")); });
    pWindow->OnCapture();
    pWindow->OnStart();
    ASSERT_TRUE(pWindow->Monitor().IsRunning()) << pWindow->StatusLabel()->text().toStdString();
    EXPECT_FALSE(Box("masterPort")->isEnabled());
    EXPECT_FALSE(pWindow->findChild<QPushButton*>(QStringLiteral("start"))->isEnabled());

    const std::uint8_t abRequest[] = {0x10, 0x5B, 0x01, 0x5C, 0x16};
    const std::uint8_t abAnswer[] = {0x10, 0x09, 0x01, 0x0A, 0x16};
    ASSERT_EQ(write(anMasters[0], abRequest, sizeof abRequest), 5);
    WaitUntil([] { return false; }, 80); // the request's read completes before the answer starts
    ASSERT_EQ(write(anMasters[1], abAnswer, sizeof abAnswer), 5);
    EXPECT_TRUE(WaitUntil([&] { return pWindow->Monitor().FrameCount() == 2; }));
    pWindow->Monitor().Log().Flush();
    const QString strLog = pWindow->LogView()->toPlainText();
    EXPECT_TRUE(strLog.contains(QStringLiteral("主站→装置: 10 5B 01 5C 16")) && strLog.contains(QStringLiteral("装置→主站: 10 09 01 0A 16")) &&
                strLog.indexOf(QStringLiteral("主站→装置")) < strLog.indexOf(QStringLiteral("装置→主站")))
        << strLog.toStdString();
    EXPECT_TRUE(WaitUntil(
        [&] { return pWindow->findChild<QPlainTextEdit*>(QStringLiteral("monitorStatistics"))->toPlainText().contains(QStringLiteral("响应时间(ms): 1 次")); }));

    pWindow->findChild<QPushButton*>(QStringLiteral("stop"))->click();
    EXPECT_FALSE(pWindow->Monitor().IsRunning());
    CMonitorWindow::SetFileNameHook([&](const QString&) { return files.filePath(QStringLiteral("line.rtf")); });
    // A save that cannot be written whole leaves the old file and says so.
    std::ofstream(files.filePath(QStringLiteral("line.rtf")).toStdString()) << "old log";
    {
        test::CFileSizeLimit limit(16);
        pWindow->OnSave();
    }
    EXPECT_TRUE(pWindow->findChild<QLabel*>(QStringLiteral("monitorStatus"))->text().startsWith(QStringLiteral("无法保存: ")));
    QFile old(files.filePath(QStringLiteral("line.rtf")));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old log"));
    pWindow->OnSave();
    CMonitorWindow::SetFileNameHook(nullptr);
    QFile rtf(files.filePath(QStringLiteral("line.rtf")));
    ASSERT_TRUE(rtf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(rtf.readAll().startsWith("{\\rtf1"));
    QFile text(files.filePath(QStringLiteral("line.txt")));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(text.readAll()).contains(QStringLiteral("] 装置→主站: 10 09 01 0A 16 \r\n")));
    EXPECT_TRUE(QFile::exists(files.filePath(QStringLiteral("line.pcapng"))));
    pWindow->close();
    EXPECT_FALSE(pWindow->Monitor().IsCapturing());
    EXPECT_EQ(View().LogText(), strWorkbenchLog);

    for (int nFd : anMasters)
        close(nFd);
    if (abOldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", abOldConfig);
}
