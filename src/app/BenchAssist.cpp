#include "app/BenchAssist.h"

#include "app/CommandTable.h"
#include "app/LogEdit.h"
#include "app/OwnSettings.h"
#include "common/SerialSettings.h"
#include "forms/FormDialog.h"
#include "session/RelvaneView.h"
#include "session/SessionCommands.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextDocument>

namespace relvane
{
namespace
{

const char* const kHintsKey = "window/hints";
const char* const kAskToSaveKey = "file/askToSave";
const char* const kFullExplanationKey = "log/fullExplanation";
constexpr int kTransientMs = 5000;

bool AllDigits(const QString& strText)
{
    if (strText.isEmpty())
        return false;
    for (const QChar c : strText)
    {
        if (!c.isDigit())
            return false;
    }
    return true;
}

} // namespace

CBenchAssist::CBenchAssist(CRelvaneView& view, QMainWindow& frame, CLogEdit& edit)
    : QObject(&frame), m_view(view), m_frame(frame), m_edit(edit)
{
    m_bHints = OwnSettings().value(QString::fromUtf8(kHintsKey), false).toBool();
    // Asking before unsaved entries are lost is on unless the user turned it off: a log that
    // goes with a stray click is lost data.
    m_bAskToSave = OwnSettings().value(QString::fromUtf8(kAskToSaveKey), true).toBool();
    m_bFullExplanation = OwnSettings().value(QString::fromUtf8(kFullExplanationKey), false).toBool();
    m_view.SetFullExplanation(m_bFullExplanation);
    connect(m_edit.verticalScrollBar(), &QScrollBar::valueChanged, this, &CBenchAssist::OnScrolled);
    m_edit.installEventFilter(this);
    if (QTextDocument* pDocument = m_view.LogDocument())
        connect(pDocument, &QTextDocument::contentsChanged, this, [this] { m_bUnsaved = true; });
    ApplyHints();
}

QString CBenchAssist::BelowMessage()
{
    return QStringLiteral("下方有新记录 (按 End 键或滚动到底部继续跟随)");
}

void CBenchAssist::SetSystemPorts(PortDescriber fnDescribe, DeviceOf fnDeviceOf)
{
    m_fnDescribe = std::move(fnDescribe);
    m_fnDeviceOf = std::move(fnDeviceOf);
    ApplyHints();
}

void CBenchAssist::StartBesideRelay(const QString& strPort)
{
    m_bHints = true;
    m_bAskToSave = true;
    ApplyHints();
    const QString strDevice = m_fnDeviceOf ? m_fnDeviceOf(strPort) : QString();
    // In the message pane itself, not as a passing message: the prompt of a menu item or button
    // under the mouse covers it only while the mouse is there. It stays until the first connect.
    if (auto* pPane = m_frame.statusBar()->findChild<QLabel*>(QStringLiteral("pane_0")))
    {
        pPane->setText(QStringLiteral("模拟装置已连接在 %1%2: 点击“串口连接”开始, 再点“巡检(83H)”")
                           .arg(strPort, strDevice.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(strDevice)));
        m_bFirstRunHint = true;
    }
}

void CBenchAssist::ApplyHints()
{
    SetPortDescriber(m_bHints ? m_fnDescribe : PortDescriber());
    // Following is judged from here on; the view was following until now.
    m_bFollow = true;
    m_bBelowShown = false;
    if (m_frame.statusBar()->currentMessage() == BelowMessage())
        m_frame.statusBar()->clearMessage();
}

bool CBenchAssist::OnCommand(int nId)
{
    switch (nId)
    {
    case ID_OPTION_HINTS:
        m_bHints = !m_bHints;
        OwnSettings().setValue(QString::fromUtf8(kHintsKey), m_bHints);
        ApplyHints();
        return true;
    case ID_OPTION_ASK_SAVE:
        m_bAskToSave = !m_bAskToSave;
        OwnSettings().setValue(QString::fromUtf8(kAskToSaveKey), m_bAskToSave);
        return true;
    case ID_OPTION_FULL_EXPLANATION:
        m_bFullExplanation = !m_bFullExplanation;
        OwnSettings().setValue(QString::fromUtf8(kFullExplanationKey), m_bFullExplanation);
        m_view.SetFullExplanation(m_bFullExplanation);
        return true;
    default:
        return false;
    }
}

bool CBenchAssist::QueryCommand(int nId, CCommandState& state) const
{
    switch (nId)
    {
    case ID_OPTION_HINTS:
        state = CCommandState{true, true, m_bHints};
        return true;
    case ID_OPTION_ASK_SAVE:
        state = CCommandState{true, true, m_bAskToSave};
        return true;
    case ID_OPTION_FULL_EXPLANATION:
        // Only the 103 annotator has it.
        state = CCommandState{true, m_view.Mode() == MODE_103, m_bFullExplanation};
        return true;
    default:
        return false;
    }
}

void CBenchAssist::OnSessionCommand(int nId, bool bPortWasOpen)
{
    if (m_bFirstRunHint && m_view.PortOpen())
    {
        m_bFirstRunHint = false;
        if (auto* pPane = m_frame.statusBar()->findChild<QLabel*>(QStringLiteral("pane_0")))
            pPane->setText(QStringLiteral("就绪"));
    }
    if (!m_bHints || (nId != ID_SERIAL_CONNECT && nId != ID_SERIAL_DISCONNECT))
        return;
    const bool bOpen = m_view.PortOpen();
    if (bOpen == bPortWasOpen)
        return; // a failed connect was already said in its message box
    const QString strPort = PaneText(ID_INDICATOR_PORT, QString::fromStdString(m_view.PortPaneText()));
    const QString strDevice = m_fnDeviceOf ? m_fnDeviceOf(strPort) : QString();
    const QString strWhere =
        strDevice.isEmpty() ? strPort : QStringLiteral("%1 (%2)").arg(strPort, strDevice);
    ShowMessage(
        (bOpen ? QStringLiteral("串口已连接: ") : QString::fromUtf8(kPortLostText) + QStringLiteral(": ")) +
            strWhere,
        kTransientMs);
}

QString CBenchAssist::PaneText(int nPaneId, const QString& strText) const
{
    if (!m_bHints)
        return strText;
    // Connecting strips "COM" from the port text, and the form hands back "None" where the start
    // showed "NONE": the panes keep the form they had at start.
    if (nPaneId == ID_INDICATOR_PORT && AllDigits(strText))
        return QStringLiteral("COM") + strText;
    if (nPaneId == ID_INDICATOR_PARITY)
        return strText.toUpper();
    return strText;
}

void CBenchAssist::OnAppended()
{
    if (!m_bHints)
    {
        m_edit.ShowAppended();
        return;
    }
    if (m_bFollow)
    {
        ResumeFollowing();
        return;
    }
    // Reading back: the view stays where it is, and the status bar says what came meanwhile.
    if (m_frame.statusBar()->currentMessage() != BelowMessage())
        ShowMessage(BelowMessage());
    m_bBelowShown = true;
}

void CBenchAssist::OnScrolled()
{
    if (m_bOwnScroll)
        return;
    // Within a line of the end counts as the end: the last line may be laid out only after the
    // view moved there.
    const QScrollBar* pBar = m_edit.verticalScrollBar();
    m_bFollow = pBar->value() >= pBar->maximum() - 1;
    if (m_bFollow && m_bBelowShown)
    {
        m_bBelowShown = false;
        if (m_frame.statusBar()->currentMessage() == BelowMessage())
            m_frame.statusBar()->clearMessage();
    }
}

void CBenchAssist::ResumeFollowing()
{
    // Showing the caret may leave the last line half in view: the view goes all the way down,
    // which is where following is judged from.
    m_bOwnScroll = true;
    m_edit.ShowAppended();
    QScrollBar* pBar = m_edit.verticalScrollBar();
    pBar->setValue(pBar->maximum());
    m_bOwnScroll = false;
    m_bFollow = true;
    OnScrolled();
}

bool CBenchAssist::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    // End (with or without Ctrl) while reading back: back to the end, following again.
    if (pWatched == &m_edit && pEvent->type() == QEvent::KeyPress && m_bHints && !m_bFollow)
    {
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        const Qt::KeyboardModifiers modifiers = pKey->modifiers() & ~Qt::KeypadModifier;
        if (pKey->key() == Qt::Key_End && (modifiers == Qt::NoModifier || modifiers == Qt::ControlModifier))
        {
            ResumeFollowing();
            return true;
        }
    }
    return QObject::eventFilter(pWatched, pEvent);
}

bool CBenchAssist::MayDiscardLog(const QString& strTitle, const std::function<bool()>& fnSave)
{
    m_view.Log().Flush();
    if (!m_bAskToSave || !m_bUnsaved)
        return true;
    QTextDocument* pDocument = m_view.LogDocument();
    if (pDocument == nullptr || pDocument->isEmpty())
        return true;
    switch (AskRelvaneQuestion(&m_frame, QStringLiteral("是否保存对 %1 的更改?").arg(strTitle)))
    {
    case EAnswer::Yes:
        return fnSave();
    case EAnswer::No:
        return true;
    default:
        return false;
    }
}

void CBenchAssist::ShowMessage(const QString& strText, int nTimeoutMs)
{
    m_frame.statusBar()->showMessage(strText, nTimeoutMs);
}

} // namespace relvane
