// The real window walked through long random sequences of what a user can do: every enabled menu
// item and toolbar button of the mode on show, mode switches, the forms filled with valid and
// invalid values and accepted or cancelled, new, open, save and the recent files (in the test's
// own folder), connecting to relvane-relay on a pseudo-terminal and disconnecting, listening for
// a second relvane-relay that speaks Ethernet 103 on loopback, typing into
// the log, its popup, and the plan and monitor windows. Modal boxes are answered as they open,
// so nothing waits behind one. After each step the log must still hold every entry it held
// unless the user let them go (a question answered, asking turned off) or can undo it, and
// "撤消" after an edit must give back the log byte for byte, with what arrived since at its end.
//
// RELVANE_WALK_SEED=N repeats a walk; RELVANE_WALK_STEPS=N sets its length; RELVANE_WALK_SECONDS=S
// walks with new seeds until S seconds have passed (`make walk`). The seed and the last steps are
// printed with any failure.
#include "ChildProcess.h"
#include "app/BenchAssist.h"
#include "app/CommandTable.h"
#include "app/DialogUserInterface.h"
#include "app/LogEdit.h"
#include "app/MainFrame.h"
#include "app/MonitorWindow.h"
#include "app/TestPlanDialog.h"
#include "ethernet/IpSettingsForm.h"
#include "forms/FormDialog.h"
#include "forms/SerialSettingsForm.h"
#include "iec103/UdpFrame.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"
#include "testplan/PlanUserInterface.h"
#include "transport/NetworkChannel.h"
#include "transport/SerialChannel.h"
#include "transport/SerialPortMap.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace relvane::test
{
namespace
{

constexpr int kCom = 213;

long EnvNumber(const char* pszName, long nDefault)
{
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr && *pszValue != '\0' ? std::strtol(pszValue, nullptr, 10) : nDefault;
}

// Values a user might type into a field: numbers in and out of every range, and junk.
const char* const kFieldValues[] = {"0",  "1",   "2",  "5",     "9",     "10", "100",   "255",   "256",
                                    "-1", "-5",  "300", "1500", "65535", "65536", "99999999999", "",
                                    " ",  "x",   "1G", "0x10",  "1.5",   "10 49 01 4A 16", "68 zz 999",
                                    "2026", "12", "31", "59", "60", "hello"};
const char* const kTypedTexts[] = {"x", "300", " ", "备注", "10 7B", "a"};

class CWindowWalk : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char szPattern[] = "/tmp/relvane-walk-XXXXXX";
        ASSERT_NE(mkdtemp(szPattern), nullptr);
        m_dir = szPattern;
        setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
        m_relayOutput = m_dir / "relay.out";
        m_nRelayPid = StartChildProcess(RELVANE_RELAY_PATH,
                                        {"--protocol", "auto", "--com", std::to_string(kCom), "--event-interval",
                                         "700", "--fault-rate", "10", "--quiet"},
                                        m_relayOutput);
        // The Ethernet relay connects to the window's listener and takes its UDP frames, on loopback.
        m_nTcpPort = 20000 + static_cast<int>(getpid() % 20000);
        m_nEthRelayPid = StartChildProcess(RELVANE_RELAY_PATH,
                                           {"--protocol", "eth103", "--tcp-port", std::to_string(m_nTcpPort),
                                            "--udp-port", std::to_string(m_nTcpPort + 1), "--quiet"},
                                           m_dir / "eth-relay.out");
        const auto link = m_dir / "relvane" / "ports" / ("COM" + std::to_string(kCom));
        for (int i = 0; i < 500 && !std::filesystem::is_symlink(link); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(std::filesystem::is_symlink(link));
        // A file that is no log, for "打开".
        QFile junk(QString::fromStdString((m_dir / "junk.rtf").string()));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("{\\rtf1 not closed \xff\xfe");
        junk.close();
        QApplication::setQuitOnLastWindowClosed(false);
        SetMessageHook([this](QWidget*, const QString& strText) { Note("message: " + strText.toStdString()); });
        AnswerQuestionsAtRandom();
    }

    void AnswerQuestionsAtRandom()
    {
        SetQuestionHook(
            [this](QWidget*, const QString& strText)
            {
                const int nAnswer = Draw(3);
                m_nLastAnswer = nAnswer;
                Note("question: " + strText.toStdString() + " -> " + "YNC"[nAnswer]);
                return nAnswer == 0 ? EAnswer::Yes : nAnswer == 1 ? EAnswer::No : EAnswer::Cancel;
            });
    }

    void TearDown() override
    {
        StopWindow();
        SetMessageHook({});
        SetQuestionHook({});
        for (const pid_t nPid : {m_nRelayPid, m_nEthRelayPid})
        {
            if (nPid <= 0)
                continue;
            kill(nPid, SIGTERM);
            int nStatus = 0;
            waitpid(nPid, &nStatus, 0);
        }
        std::filesystem::remove_all(m_dir);
    }

    // A fresh window over the real channels, as the program builds it.
    void StartWindow()
    {
        StopWindow();
        m_pUi = std::make_unique<CDialogUserInterface>(
            []
            {
                QStringList ports;
                for (const std::string& strPort : ListAvailablePorts())
                    ports << QString::fromStdString(strPort);
                return ports;
            });
        m_pPlanUi = std::make_unique<CPlanUserInterface>(m_pUi.get());
        m_pView = std::make_unique<CRelvaneView>(std::make_unique<CSerialChannel>(),
                                                 std::make_unique<CNetworkChannel>(BuildUdpFrame), *m_pPlanUi);
        // Only the relay's port and loopback: no frame may reach a real line or network.
        m_pView->PreselectPort("COM" + std::to_string(kCom), -1);
        m_pView->NetworkChannel().SetTargetAddress(0x7F000001);
        m_pView->NetworkChannel().SetTargetUdpPort(m_nTcpPort + 1);
        m_pView->NetworkChannel().SetLocalTcpPort(m_nTcpPort);
        m_pFrame = std::make_unique<CMainFrame>(*m_pView);
        m_pFrame->SetPlanUserInterface(m_pPlanUi.get());
        m_pUi->SetParentWidget(m_pFrame.get());
        m_pFrame->show();
        QObject::connect(m_pView->LogDocument(), &QTextDocument::contentsChange, m_pFrame.get(),
                         [this](int, int, int) { m_bEmptied = m_bEmptied || m_pView->LogDocument()->isEmpty(); });
        QObject::connect(&m_pView->Log(), &CLogDocument::AboutToClear, m_pFrame.get(), [this] { ++m_nClears; });
        // What arrives at the end during a step, for the log the undo of the step must give back.
        m_pView->Log().SetAppendTap([this](QStringView strPiece, bool)
                                    { m_strArrived += CLogDocument::LogText(strPiece.toString()); });
        m_bHandling = true;
        QTimer::singleShot(0, m_pFrame.get(), [this] { HandleModal(); });
    }

    void StopWindow()
    {
        m_bHandling = false;
        m_pFrame.reset();
        m_pView.reset();
        m_pPlanUi.reset();
        m_pUi.reset();
    }

    int Draw(int nCount) { return static_cast<int>(m_random() % static_cast<unsigned>(nCount)); }
    bool Chance(int nPercent) { return Draw(100) < nPercent; }
    void Note(const std::string& strStep)
    {
        m_steps.push_back(strStep);
        if (m_steps.size() > 40)
            m_steps.pop_front();
    }
    std::string Trail() const
    {
        std::ostringstream out;
        out << "seed " << m_nSeed << ", step " << m_nStep << "; last steps:\n";
        for (const std::string& strStep : m_steps)
            out << "  " << strStep << "\n";
        return out.str();
    }
    QString TempPath(const char* pszName) const
    {
        return QString::fromStdString((m_dir / pszName).string());
    }

    static void Settle()
    {
        for (int i = 0; i < 4; ++i)
            QApplication::processEvents(QEventLoop::AllEvents);
    }

    // Answers whatever modal box is open, on every turn of any event loop while the walk runs.
    void HandleModal()
    {
        if (!m_bHandling || !m_pFrame)
            return;
        QTimer::singleShot(0, m_pFrame.get(), [this] { HandleModal(); });
        QWidget* pModal = QApplication::activeModalWidget();
        if (pModal == nullptr || !pModal->isVisible())
            return;
        if (pModal != m_pLastModal)
        {
            m_pLastModal = pModal;
            m_nAttempts = 0;
        }
        if (++m_nAttempts > 4)
        {
            Note("modal: given up, closed " + std::string(pModal->metaObject()->className()));
            if (auto* pDialog = qobject_cast<QDialog*>(pModal))
                pDialog->reject();
            else
                pModal->close();
            return;
        }
        if (auto* pBox = qobject_cast<QMessageBox*>(pModal))
        {
            const QList<QAbstractButton*> buttons = pBox->buttons();
            if (!buttons.isEmpty())
            {
                QAbstractButton* pButton = buttons.at(Draw(static_cast<int>(buttons.size())));
                Note("box: " + pBox->text().toStdString() + " -> " + pButton->text().toStdString());
                pButton->click();
            }
            else
                pBox->reject();
        }
        else if (auto* pFiles = qobject_cast<QFileDialog*>(pModal))
            AnswerFileDialog(*pFiles);
        else if (auto* pIp = qobject_cast<IpSettingsForm*>(pModal))
            AnswerIpForm(*pIp);
        else if (auto* pForm = qobject_cast<CFormDialog*>(pModal))
            AnswerForm(*pForm);
        else if (auto* pDialog = qobject_cast<QDialog*>(pModal))
        {
            // Printing, page set-up, preview, about: never a real printer.
            Note("dialog: closed " + std::string(pDialog->metaObject()->className()));
            pDialog->reject();
        }
    }

    void AnswerFileDialog(QFileDialog& dialog)
    {
        if (Chance(25))
        {
            Note("file dialog: cancelled");
            dialog.reject();
            return;
        }
        QString strPath;
        if (dialog.fileMode() == QFileDialog::Directory)
            strPath = TempPath("");
        else if (dialog.acceptMode() == QFileDialog::AcceptSave)
        {
            const char* const names[] = {"walk1.rtf", "walk2.rtf", "capture", "walk3"};
            strPath = TempPath(names[Draw(4)]);
        }
        else
        {
            const QStringList files = QDir(TempPath("")).entryList({QStringLiteral("*.rtf")}, QDir::Files);
            strPath = files.isEmpty() || Chance(10) ? TempPath("missing.rtf")
                                                    : TempPath("") + u'/' + files.at(Draw(static_cast<int>(files.size())));
        }
        Note("file dialog: " + strPath.toStdString());
        dialog.selectFile(strPath);
        static_cast<QDialog&>(dialog).accept(); // as its "打开" or "保存" button does
    }

    void AnswerIpForm(IpSettingsForm& form)
    {
        // Loopback only, whatever else is typed.
        CIpSettingsValues values;
        values.nTargetAddress = 0x7F000000u | static_cast<std::uint32_t>(Draw(3) == 0 ? 1 : Draw(1 << 24));
        values.nTargetUdpPort = m_nTcpPort + 1;
        values.nLocalTcpPort = m_nTcpPort;
        form.SetValues(values);
        // Junk in the port fields only (the address boxes are spin boxes with line edits inside).
        for (const int nControl : {IDC_IP_UDP_PORT, IDC_IP_TCP_PORT})
        {
            auto* pEdit = qobject_cast<QLineEdit*>(form.Control(nControl));
            if (pEdit != nullptr && Chance(15))
                pEdit->setText(QString::fromUtf8(kFieldValues[Draw(std::size(kFieldValues))]));
        }
        if (form.AddressShown() >> 24 != 127)
        {
            ADD_FAILURE() << "the IP form would leave loopback";
            form.reject();
            return;
        }
        Finish(form, "IP form");
    }

    void AnswerForm(CFormDialog& form)
    {
        const bool bSerial = qobject_cast<SerialSettingsForm*>(&form) != nullptr;
        for (QLineEdit* pEdit : form.findChildren<QLineEdit*>())
        {
            if (pEdit->isEnabled() && !pEdit->isReadOnly() && Chance(50))
                pEdit->setText(QString::fromUtf8(kFieldValues[Draw(std::size(kFieldValues))]));
        }
        for (QPlainTextEdit* pEdit : form.findChildren<QPlainTextEdit*>())
        {
            if (pEdit->isEnabled() && !pEdit->isReadOnly() && Chance(50))
                pEdit->setPlainText(QString::fromUtf8(kFieldValues[Draw(std::size(kFieldValues))]));
        }
        for (QSpinBox* pSpin : form.findChildren<QSpinBox*>())
        {
            if (Chance(50))
                pSpin->setValue(pSpin->minimum() + Draw(std::max(1, std::min(pSpin->maximum() - pSpin->minimum() + 1, 1000))));
        }
        for (QComboBox* pCombo : form.findChildren<QComboBox*>())
        {
            if (pCombo->count() > 0 && Chance(50))
                pCombo->setCurrentIndex(Draw(pCombo->count()));
            if (pCombo->isEditable() && Chance(20))
                pCombo->setEditText(QString::fromUtf8(kFieldValues[Draw(std::size(kFieldValues))]));
        }
        for (QAbstractButton* pButton : form.findChildren<QAbstractButton*>())
        {
            if (pButton->isCheckable() && pButton->isEnabled() && Chance(30))
                pButton->click();
        }
        if (bSerial)
        {
            // The relay's port and no other: a real line must never hear the walk.
            for (QComboBox* pCombo : form.findChildren<QComboBox*>())
            {
                const int nRelay = pCombo->findText(QStringLiteral("COM%1").arg(kCom), Qt::MatchStartsWith);
                if (pCombo->objectName() == QStringLiteral("ctl_1000"))
                {
                    if (nRelay < 0)
                    {
                        form.reject();
                        return;
                    }
                    pCombo->setCurrentIndex(nRelay);
                }
            }
        }
        // A button of the form's own ("计算校验和", "添加", "清除") now and then.
        const QList<QPushButton*> pushes = form.findChildren<QPushButton*>();
        if (!pushes.isEmpty() && Chance(20))
        {
            QPushButton* pPush = pushes.at(Draw(static_cast<int>(pushes.size())));
            if (pPush->isEnabled() && pPush->isVisible() && pPush->objectName() != QStringLiteral("ctl_1") &&
                pPush->objectName() != QStringLiteral("ctl_2"))
            {
                Note("form button: " + pPush->text().toStdString());
                pPush->click();
                if (!form.isVisible())
                    return;
            }
        }
        Finish(form, form.windowTitle().toStdString());
    }

    void Finish(QDialog& form, const std::string& strName)
    {
        if (Chance(30))
        {
            Note("form " + strName + ": cancelled");
            form.reject();
            return;
        }
        Note("form " + strName + ": OK");
        if (auto* pOk = form.findChild<QAbstractButton*>(QStringLiteral("ctl_1")))
            pOk->click();
        else
            form.accept();
    }

    // The enabled commands of one popup of the menu bar, as the user sees them once it opened.
    QList<QAction*> OpenMenu(QMenu* pMenu)
    {
        pMenu->popup(QPoint(0, 0));
        Settle();
        pMenu->hide();
        QList<QAction*> actions;
        for (QAction* pAction : pMenu->actions())
        {
            if (!pAction->isSeparator() && pAction->isVisible() && pAction->isEnabled() && pAction->menu() == nullptr)
                actions << pAction;
        }
        return actions;
    }

    std::string Describe(QAction* pAction) const
    {
        return pAction->text().toStdString() + " (" + std::to_string(pAction->data().toInt()) + ")";
    }

    void ChooseFromMenu()
    {
        const QList<QAction*> tops = m_pFrame->menuBar()->actions();
        QAction* pTop = tops.at(Draw(static_cast<int>(tops.size())));
        QList<QAction*> actions;
        if (pTop->menu() != nullptr)
            actions = OpenMenu(pTop->menu());
        else if (pTop->isEnabled())
            actions << pTop;
        if (actions.isEmpty())
            return;
        QAction* pAction = actions.at(Draw(static_cast<int>(actions.size())));
        Note("menu: " + Describe(pAction));
        m_nChosenId = pAction->data().toInt();
        pAction->trigger();
    }

    void ChooseFromToolbar()
    {
        QList<QAction*> actions;
        for (QToolBar* pBar : m_pFrame->findChildren<QToolBar*>())
        {
            if (!pBar->isVisible())
                continue;
            for (QAction* pAction : pBar->actions())
            {
                if (!pAction->isSeparator() && pAction->isEnabled())
                    actions << pAction;
            }
        }
        if (actions.isEmpty())
            return;
        QAction* pAction = actions.at(Draw(static_cast<int>(actions.size())));
        Note("button: " + Describe(pAction));
        m_nChosenId = pAction->data().toInt();
        pAction->trigger();
    }

    void Key(int nKey, Qt::KeyboardModifiers modifiers, const QString& strText = {})
    {
        QKeyEvent press(QEvent::KeyPress, nKey, modifiers, strText);
        QApplication::sendEvent(m_pFrame->LogEdit(), &press);
    }

    // One key into the log, after moving the caret or selecting (Ctrl+A) first.
    void TypeIntoLog()
    {
        CLogEdit* pEdit = m_pFrame->LogEdit();
        QTextCursor cursor = pEdit->textCursor();
        const int nEnd = pEdit->document()->characterCount() - 1;
        switch (Draw(4))
        {
        case 0:
            Key(Qt::Key_A, Qt::ControlModifier);
            break;
        case 1:
            cursor.setPosition(Draw(nEnd + 1));
            cursor.setPosition(Draw(nEnd + 1), QTextCursor::KeepAnchor);
            pEdit->setTextCursor(cursor);
            break;
        case 2:
            cursor.setPosition(Draw(nEnd + 1));
            pEdit->setTextCursor(cursor);
            break;
        default:
            break;
        }
        switch (Draw(5))
        {
        case 0:
            Note("key: Backspace");
            Key(Qt::Key_Backspace, Qt::NoModifier);
            break;
        case 1:
            Note("key: Delete");
            Key(Qt::Key_Delete, Qt::NoModifier);
            break;
        case 2:
            Note("key: Ctrl+Z");
            m_nChosenId = ID_EDIT_UNDO;
            Key(Qt::Key_Z, Qt::ControlModifier);
            break;
        default:
        {
            const char* pszText = kTypedTexts[Draw(std::size(kTypedTexts))];
            Note(std::string("key: ") + pszText);
            // Typing that replaces nothing joins the typing before it in one undo step.
            m_bInsertOnly = !pEdit->textCursor().hasSelection();
            Key(Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8(pszText));
            break;
        }
        }
    }

    void UseLogPopup()
    {
        std::unique_ptr<QMenu> pMenu(m_pFrame->LogEdit()->CreatePopupMenu(nullptr));
        QList<QAction*> actions;
        for (QAction* pAction : pMenu->actions())
        {
            if (!pAction->isSeparator() && pAction->isEnabled())
                actions << pAction;
        }
        QAction* pAction = actions.at(Draw(static_cast<int>(actions.size())));
        Note("popup: " + Describe(pAction));
        m_nChosenId = pAction->data().toInt();
        pAction->trigger();
    }

    void UseSideWindows()
    {
        if (CTestPlanDialog* pPlan = m_pFrame->TestPlanDialog(); pPlan != nullptr && pPlan->isVisible())
        {
            QList<QAbstractButton*> buttons;
            for (QAbstractButton* pButton : pPlan->findChildren<QAbstractButton*>())
            {
                if (pButton->isEnabled() && pButton->isVisible())
                    buttons << pButton;
            }
            if (!buttons.isEmpty() && Chance(70))
            {
                QAbstractButton* pButton = buttons.at(Draw(static_cast<int>(buttons.size())));
                Note("plan: " + pButton->text().toStdString());
                pButton->click();
            }
            else
            {
                Note("plan: closed");
                pPlan->close();
            }
            return;
        }
        if (CMonitorWindow* pMonitor = m_pFrame->MonitorWindow(); pMonitor != nullptr && pMonitor->isVisible())
        {
            Note("monitor: closed");
            pMonitor->close();
        }
    }

    // Runs the window until the log grew or a little while passed: lets the relay talk.
    void LetTrafficFlow()
    {
        const qsizetype nBefore = m_pView->Log().EndPosition();
        QElapsedTimer timer;
        timer.start();
        while (m_pView->Log().EndPosition() == nBefore && timer.elapsed() < 300)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        Note("waited for traffic");
    }

    // One random step and the checks after it.
    void Step()
    {
        if (!m_pFrame->isVisible())
        {
            Note("window shown again");
            m_pFrame->show();
        }
        const std::string strBefore = m_pView->LogText();
        const bool bUnsaved = m_pFrame->BenchAssist()->HasUnsavedEntries();
        const bool bAsking = m_pFrame->BenchAssist()->AskToSaveOn();
        const int nLinesBefore = m_pView->LineCount();
        m_nLastAnswer = -1;
        m_nChosenId = -1;
        m_bInsertOnly = false;
        m_bEmptied = false;
        m_nClears = 0;
        m_strArrived.clear();
        bool bEdit = false;
        const int nKind = Draw(100);
        if (nKind < 40)
            ChooseFromMenu();
        else if (nKind < 60)
            ChooseFromToolbar();
        else if (nKind < 72)
        {
            TypeIntoLog();
            bEdit = true;
        }
        else if (nKind < 76)
        {
            UseLogPopup();
            bEdit = true;
        }
        else if (nKind < 80)
            UseSideWindows();
        else
            LetTrafficFlow();
        Settle();
        const int nId = m_nChosenId;
        // Steps that may put another log (or none) in place of this one.
        const bool bReplaces = nId == ID_FILE_NEW || nId == ID_FILE_OPEN || nId == ID_APP_EXIT ||
                               (nId >= ID_FILE_MRU_FILE1 && nId < ID_FILE_MRU_FILE1 + CRelvaneDoc::kRecentFiles);
        bEdit = bEdit || nId == ID_CLEAR_LOG || nId == ID_EDIT_CUT || nId == ID_EDIT_PASTE;

        // Nothing may leave loopback.
        ASSERT_EQ(m_pView->NetworkChannel().TargetAddress() >> 24, 127u) << Trail();
        // The window shows the session's log, whatever happened.
        ASSERT_EQ(m_pFrame->LogEdit()->document(), m_pView->LogDocument()) << Trail();
        const std::string strAfter = m_pView->LogText();
        if (strAfter == strBefore + m_strArrived.toStdString())
            return; // nothing changed but entries that came
        if (nId == ID_EDIT_UNDO)
            return; // the user took back an edit of their own
        if (strAfter.compare(0, strBefore.size(), strBefore) != 0)
        {
            const bool bLimit = m_pView->LineLimitOn() && (m_bEmptied || m_pView->LineCount() < nLinesBefore);
            if (bLimit && !bEdit && !bReplaces)
                return; // the line limit emptied the log, as the user set it to
            if (m_nLastAnswer == 0 || m_nLastAnswer == 1)
                return; // saved first, or the user let the entries go
            if (bReplaces && (!bUnsaved || !bAsking))
                return; // nothing unsaved, or the user turned asking off
            ASSERT_TRUE(bEdit) << "entries lost without a question or an edit (unsaved " << bUnsaved << ", asking "
                               << bAsking << ")\n"
                               << Trail() << "before: " << strBefore.substr(0, 200) << "\nafter: " << strAfter.substr(0, 200);
            // An edit that took entries can be undone.
            ASSERT_TRUE(m_pFrame->QueryCommand(ID_EDIT_UNDO).bEnabled) << "an edit took entries for good\n" << Trail();
        }
        else if (!bEdit)
            return;
        // "撤消" after an edit gives back the log byte for byte, with what came since at its end.
        // Typing that replaced nothing may have joined the typing before it; a clearing by the
        // line limit during the step is a step of its own.
        if (m_bInsertOnly || m_nClears != (nId == ID_CLEAR_LOG ? 1 : 0) || !Chance(80))
            return;
        ASSERT_TRUE(m_pFrame->QueryCommand(ID_EDIT_UNDO).bEnabled) << "an edit cannot be undone\n" << Trail();
        Note("undo");
        m_pFrame->OnCommand(ID_EDIT_UNDO);
        Settle();
        if (m_nClears != (nId == ID_CLEAR_LOG ? 1 : 0))
            return; // the line limit struck while undoing
        const std::string strUndone = m_pView->LogText();
        const std::string strExpected = strBefore + m_strArrived.toStdString();
        ASSERT_EQ(strUndone, strExpected) << "undo did not give back the log\n"
                                          << Trail() << "before: " << strBefore.size() << " bytes, after the edit: "
                                          << strAfter.size() << ", after the undo: " << strUndone.size()
                                          << " (expected " << strExpected.size() << ")";
    }

    // The walk: steps until the count or the time is reached.
    void Walk(unsigned long long nSeed, long nSteps, long nMs)
    {
        m_nSeed = nSeed;
        m_random.seed(nSeed);
        m_steps.clear();
        AnswerQuestionsAtRandom();
        std::fprintf(stderr, "window walk: seed %llu (RELVANE_WALK_SEED=%llu repeats it)\n", nSeed, nSeed);
        StartWindow();
        QElapsedTimer timer;
        timer.start();
        for (m_nStep = 0; m_nStep < nSteps && (nMs <= 0 || timer.elapsed() < nMs); ++m_nStep)
        {
            Step();
            if (HasFatalFailure() || HasNonfatalFailure())
                return;
        }
        // Closing asks about what is unsaved; the walk ends with the window gone.
        SetQuestionHook([](QWidget*, const QString&) { return EAnswer::No; });
        m_pFrame->close();
        Settle();
        EXPECT_FALSE(m_pFrame->isVisible()) << Trail();
        StopWindow();
    }

    std::filesystem::path m_dir;
    std::filesystem::path m_relayOutput;
    pid_t m_nRelayPid = -1;
    pid_t m_nEthRelayPid = -1;
    int m_nTcpPort = 0;
    std::unique_ptr<CDialogUserInterface> m_pUi;
    std::unique_ptr<CPlanUserInterface> m_pPlanUi;
    std::unique_ptr<CRelvaneView> m_pView;
    std::unique_ptr<CMainFrame> m_pFrame;
    std::mt19937_64 m_random;
    unsigned long long m_nSeed = 0;
    long m_nStep = 0;
    std::deque<std::string> m_steps;
    bool m_bHandling = false;
    QPointer<QWidget> m_pLastModal;
    int m_nAttempts = 0;
    int m_nLastAnswer = -1;
    int m_nChosenId = -1; // the command of the step (-1: none)
    bool m_bInsertOnly = false;
    bool m_bEmptied = false; // the log was empty at some moment of the step
    int m_nClears = 0;       // clearings of the whole log during the step
    QString m_strArrived;    // text appended during the step, as the log shows it
};

TEST_F(CWindowWalk, RandomSequencesOfCommands)
{
    const long nSeconds = EnvNumber("RELVANE_WALK_SECONDS", 0);
    const long nSteps = EnvNumber("RELVANE_WALK_STEPS", 120);
    if (nSeconds > 0)
    {
        // The long run: new seeds until the time is up.
        QElapsedTimer timer;
        timer.start();
        unsigned long long nSeed = static_cast<unsigned long long>(
            EnvNumber("RELVANE_WALK_SEED", std::chrono::system_clock::now().time_since_epoch().count() % 1000000007));
        while (timer.elapsed() < nSeconds * 1000 && !HasFailure())
            Walk(nSeed++, 1000000, std::min<long>(nSeconds * 1000 - timer.elapsed(), 120000));
        return;
    }
    for (const unsigned long long nSeed :
         {static_cast<unsigned long long>(EnvNumber("RELVANE_WALK_SEED", 20261208)), 31ULL})
    {
        Walk(nSeed, nSteps, 0);
        if (HasFailure() || std::getenv("RELVANE_WALK_SEED") != nullptr)
            return;
    }
}

// The sequence that crashed the window: a recent file, "文件" opened, the protocol switched,
// "文件" opened again, the recent file chosen.
TEST_F(CWindowWalk, RecentFilesAcrossAProtocolSwitch)
{
    m_random.seed(1);
    StartWindow();
    ASSERT_TRUE(m_pFrame->SaveLogFile(TempPath("kept.rtf")));
    auto fileMenu = [this] { return m_pFrame->menuBar()->actions().front()->menu(); };
    for (const int nMode : {ID_MODE_103, ID_MODE_ETH103, ID_MODE_94})
    {
        OpenMenu(fileMenu());
        m_pFrame->Action(nMode)->trigger();
        Settle();
        bool bOpened = false;
        for (QAction* pAction : OpenMenu(fileMenu()))
        {
            if (pAction->text().startsWith(QStringLiteral("&1 ")))
            {
                SetQuestionHook([](QWidget*, const QString&) { return EAnswer::No; });
                pAction->trigger();
                bOpened = true;
            }
        }
        EXPECT_TRUE(bOpened) << nMode;
        Settle();
        EXPECT_EQ(m_pFrame->windowTitle(), QStringLiteral("kept.rtf - Relvane"));
    }
}

} // namespace
} // namespace relvane::test
