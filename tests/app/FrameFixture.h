#pragma once

#include "FakeNetworkChannel.h"
#include "FakeSerialChannel.h"
#include "ScriptedUserInterface.h"
#include "app/CommandTable.h"
#include "app/LogEdit.h"
#include "app/MainFrame.h"
#include "forms/FormDialog.h"
#include "session/RelvaneView.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <gtest/gtest.h>
#include <memory>

namespace relvane::test
{

// The window over a session on fake channels with a scripted user.
class FrameFixture : public ::testing::Test
{
protected:
    FrameFixture()
    {
        auto pSerial = std::make_unique<CFakeSerialChannel>();
        auto pNetwork = std::make_unique<CFakeNetworkChannel>();
        m_pSerial = pSerial.get();
        m_pNetwork = pNetwork.get();
        m_pView = std::make_unique<CRelvaneView>(std::move(pSerial), std::move(pNetwork), m_ui);
        m_pFrame = std::make_unique<CMainFrame>(*m_pView);
        m_pFrame->show();
        // A question nobody expected fails the test instead of waiting for ever behind a box.
        SetQuestionHook(
            [](QWidget*, const QString& strText)
            {
                ADD_FAILURE() << "unexpected question: " << strText.toStdString();
                return EAnswer::Cancel;
            });
    }
    ~FrameFixture() override
    {
        SetQuestionHook({});
        m_pFrame.reset();
        m_pView.reset();
    }

    CMainFrame& Frame() { return *m_pFrame; }
    CRelvaneView& View() { return *m_pView; }

    // Lets queued updates, channel messages and log appends happen.
    static void Settle()
    {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents(QEventLoop::AllEvents);
    }

    // The user chooses a command from a menu or a toolbar button.
    void Choose(int nId)
    {
        QAction* pAction = Frame().Action(nId);
        ASSERT_NE(pAction, nullptr) << nId;
        ASSERT_TRUE(pAction->isEnabled()) << nId;
        pAction->trigger();
        Settle();
    }

    bool Checked(int nId) { return Frame().Action(nId)->isChecked(); }
    bool Enabled(int nId) { return Frame().Action(nId)->isEnabled(); }
    QString PaneText(int nId) { return Frame().Pane(nId)->text(); }

    CScriptedUserInterface m_ui;
    CFakeSerialChannel* m_pSerial = nullptr;
    CFakeNetworkChannel* m_pNetwork = nullptr;
    std::unique_ptr<CRelvaneView> m_pView;
    std::unique_ptr<CMainFrame> m_pFrame;
};

} // namespace relvane::test
