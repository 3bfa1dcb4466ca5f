#include "FrameFixture.h"
#include "app/LogPrinter.h"
#include "app/QtTranslations.h"
#include "session/SessionCommands.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QGuiApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

using namespace relvane;
using relvane::test::FrameFixture;

namespace
{
QStringList ButtonTexts(const QWidget& widget)
{
    QStringList texts;
    for (const QAbstractButton* pButton : widget.findChildren<QAbstractButton*>())
    {
        if (!pButton->text().isEmpty())
            texts << pButton->text();
    }
    return texts;
}

QSettings ProfileSettings()
{
    return QSettings(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Relvane"));
}
} // namespace

// Run also under LANG=C and LANG=zh_CN.UTF-8 (see CMakeLists.txt): the texts do not follow the locale.
TEST(QtTranslations, StandardDialogsAndMessageBoxesSpeakChinese)
{
    ASSERT_TRUE(InstallQtChineseTranslations()) << "qtbase_zh_CN.qm is missing";
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Relvane"), QStringLiteral("x"),
                    QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().left(1), QStringLiteral("是"));
    EXPECT_EQ(box.button(QMessageBox::No)->text().left(1), QStringLiteral("否"));

    // On Windows the system's own dialogs speak the system's language; elsewhere Qt's, translated.
    if (QGuiApplication::platformName() == QLatin1String("windows"))
        GTEST_SKIP() << "the system's file dialogs";
    QFileDialog files(nullptr, QStringLiteral("打开"));
    ASSERT_TRUE(files.testOption(QFileDialog::DontUseNativeDialog) ||
                QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs));
    const QLabel* pLookIn = files.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    ASSERT_NE(pLookIn, nullptr);
    EXPECT_EQ(pLookIn->text(), QStringLiteral("查找范围："));
    EXPECT_TRUE(ButtonTexts(files).contains(QStringLiteral("取消")))
        << ButtonTexts(files).join(u',').toStdString();

    QPrintPreviewDialog preview;
    EXPECT_EQ(preview.windowTitle(), QStringLiteral("打印预览"));
}

TEST_F(FrameFixture, ToolbarPopupShowsOnlyTheBarsOfTheModeByName)
{
    const struct
    {
        int nMode;
        QStringList bars;
    } kModes[] = {
        {ID_MODE_94, {QStringLiteral("标准"), QStringLiteral("94规约")}},
        {ID_MODE_103, {QStringLiteral("标准"), QStringLiteral("103规约")}},
        {ID_MODE_ETH103, {QStringLiteral("以太网103")}},
    };
    for (const auto& mode : kModes)
    {
        Choose(mode.nMode);
        std::unique_ptr<QMenu> pPopup(Frame().createPopupMenu());
        ASSERT_NE(pPopup, nullptr);
        QStringList names;
        // Every item is ticked twice, hiding and showing its bar again; then the user may also
        // have hidden them all.
        for (QAction* pAction : pPopup->actions())
        {
            names << pAction->text();
            pAction->trigger();
            pAction->trigger();
        }
        EXPECT_EQ(names, mode.bars) << mode.nMode;
        for (const int nToolbar : {127, 129, 131, 140})
        {
            QToolBar* pBar = Frame().ToolBar(nToolbar);
            const bool bInMode = ToolbarVisibleInMode(nToolbar, mode.nMode - ID_MODE_94);
            EXPECT_EQ(pBar->isVisible(), bInMode) << mode.nMode << " " << nToolbar;
            EXPECT_EQ(pBar->toggleViewAction()->isEnabled(), bInMode) << mode.nMode << " " << nToolbar;
        }
    }
}

TEST_F(FrameFixture, RecentEntryWhoseFileIsGoneLeavesTheList)
{
    QTemporaryDir dir;
    const QString strKept = dir.filePath(QStringLiteral("kept.rtf"));
    const QString strGone = dir.filePath(QStringLiteral("gone.rtf"));
    ASSERT_TRUE(Frame().SaveLogFile(strKept));
    ASSERT_TRUE(Frame().SaveLogFile(strGone));
    ASSERT_TRUE(QFile::remove(strGone));
    std::vector<QString> messages;
    SetMessageHook([&](QWidget*, const QString& strText) { messages.push_back(strText); });

    QMenu* pFileMenu = Frame().menuBar()->actions().front()->menu();
    emit pFileMenu->aboutToShow();
    QAction* pFirst = nullptr;
    for (QAction* pAction : pFileMenu->actions())
    {
        if (pAction->text().startsWith(QStringLiteral("&1 ")))
            pFirst = pAction;
    }
    ASSERT_NE(pFirst, nullptr);
    EXPECT_TRUE(pFirst->text().endsWith(QStringLiteral("gone.rtf")));
    pFirst->trigger();
    SetMessageHook({});

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], QStringLiteral("无法找到该文件。\n请验证给出的路径和文件名是否正确。"));
    EXPECT_FALSE(Frame().Document().RecentFiles().contains(strGone));
    EXPECT_EQ(Frame().Document().RecentFiles().value(0), strKept);
    EXPECT_EQ(ProfileSettings().value(QStringLiteral("Recent File List/File1")).toString(), strKept);
    for (int n = 1; n <= CRelvaneDoc::kRecentFiles; ++n)
        EXPECT_NE(ProfileSettings().value(QStringLiteral("Recent File List/File%1").arg(n)).toString(),
                  strGone);
}

// With a recent file: open "文件", switch the protocol, open "文件" again, in every order of the
// modes. The switch replaces the menu bar; the recent entries must outlive the menu they were in.
TEST_F(FrameFixture, RecentEntriesSurviveTheMenuOfAModeSwitch)
{
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("kept.rtf"));
    ASSERT_TRUE(Frame().SaveLogFile(strPath));
    auto openFileMenu = [this]
    {
        QMenu* pFileMenu = Frame().menuBar()->actions().front()->menu();
        pFileMenu->popup(QPoint(0, 0));
        Settle();
        pFileMenu->hide();
        return pFileMenu;
    };
    for (const int nMode : {ID_MODE_103, ID_MODE_ETH103, ID_MODE_94, ID_MODE_ETH103, ID_MODE_103, ID_MODE_94})
    {
        openFileMenu();
        Choose(nMode);
        QMenu* pFileMenu = openFileMenu();
        QStringList entries;
        for (QAction* pAction : pFileMenu->actions())
        {
            if (pAction->isVisible() && pAction->text().startsWith(QStringLiteral("&1 ")))
                entries << pAction->text();
        }
        EXPECT_EQ(entries, QStringList{QStringLiteral("&1 ") + QDir::toNativeSeparators(strPath)}) << nMode;
    }
    // The entry still opens its file.
    QMenu* pFileMenu = openFileMenu();
    for (QAction* pAction : pFileMenu->actions())
    {
        if (pAction->text().startsWith(QStringLiteral("&1 ")))
            pAction->trigger();
    }
    Settle();
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("kept.rtf - Relvane"));
}

TEST_F(FrameFixture, PrintPreviewShowsTheStoredPagesAndKeepsTheUsersChoice)
{
    ProfileSettings().setValue(QStringLiteral("Settings/PreviewPages"), 2);
    int nShownAtOpening = -1;
    QTimer::singleShot(0,
                       [&]
                       {
                           auto* pDialog =
                               qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
                           ASSERT_NE(pDialog, nullptr);
                           nShownAtOpening = PreviewPagesShown(*pDialog);
                           const QString strFacing =
                               QCoreApplication::translate("QPrintPreviewDialog", "Show facing pages");
                           bool bFacingChecked = false;
                           for (const QAction* pAction : pDialog->findChildren<QAction*>())
                               bFacingChecked |= pAction->text() == strFacing && pAction->isChecked();
                           EXPECT_TRUE(bFacingChecked) << "the dialog's mode button agrees";
                           pDialog->findChild<QPrintPreviewWidget*>()->setSinglePageViewMode();
                           pDialog->reject();
                       });
    Choose(ID_FILE_PRINT_PREVIEW);
    EXPECT_EQ(nShownAtOpening, 2);
    EXPECT_EQ(ProfileSettings().value(QStringLiteral("Settings/PreviewPages")).toInt(), 1);
    EXPECT_EQ(StoredPreviewPages(), 1);
}
