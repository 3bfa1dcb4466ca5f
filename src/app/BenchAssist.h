#pragma once

#include "forms/SerialSettingsForm.h"

#include <QObject>
#include <QString>
#include <functional>

class QMainWindow;

namespace relvane
{

class CLogEdit;
class CRelvaneView;
struct CCommandState;

// Help for the first hours at the bench ("选项" → "操作提示" and "询问保存记录", kept in our own
// settings file; `make run` turns both on for its run):
// - hints (off until asked for): the status bar says where the simulated relay is and what connecting and disconnecting
//   did, the port and parity panes keep the form they had at start ("COM200", "NONE"), the port
//   list shows devices and adapters, and the log keeps the user's place while they read back;
// - asking to save (on until turned off): "新建", opening and closing ask before a log with
//   unsaved entries is lost.
// It also keeps "完整解释" (the full explanation of 103 frames in the log, off until asked for) in the
// same settings file and hands it to the view.
class CBenchAssist : public QObject
{
    Q_OBJECT

public:
    // The device a COMn leads to, for the status bar ("/dev/pts/3"); empty when unknown.
    using DeviceOf = std::function<QString(const QString& strPort)>;

    CBenchAssist(CRelvaneView& view, QMainWindow& frame, CLogEdit& edit);

    // The system's ports, in detail for the port list and by device for the status bar.
    void SetSystemPorts(PortDescriber fnDescribe, DeviceOf fnDeviceOf);
    // The window starts beside a simulated relay on that port: hints and asking to save are on
    // for this run (nothing is stored), and the status bar says where the relay is.
    void StartBesideRelay(const QString& strPort);

    bool HintsOn() const { return m_bHints; }
    bool AskToSaveOn() const { return m_bAskToSave; }

    bool OnCommand(int nId);
    bool QueryCommand(int nId, CCommandState& state) const;
    // After the session ran a command; bPortWasOpen is the port's state before it.
    void OnSessionCommand(int nId, bool bPortWasOpen);
    // The text a status pane shows.
    QString PaneText(int nPaneId, const QString& strText) const;

    // New entries went in at the end of the log.
    void OnAppended();
    // Whether the view follows new entries (it is at the end, or hints are off).
    bool Following() const { return !m_bHints || m_bFollow; }

    // Before the log is replaced or the window closes. With asking on and entries not yet
    // saved: "是" saves with fnSave (false when that did not happen), "否" lets them go,
    // "取消" keeps everything. True when the caller may go on.
    bool MayDiscardLog(const QString& strTitle, const std::function<bool()>& fnSave);
    // The log now matches its file (or is new and empty).
    void MarkSaved() { m_bUnsaved = false; }
    bool HasUnsavedEntries() const { return m_bUnsaved; }

    static QString BelowMessage();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void ApplyHints();
    void OnScrolled();
    void ResumeFollowing();
    void ShowMessage(const QString& strText, int nTimeoutMs = 0);

    CRelvaneView& m_view;
    QMainWindow& m_frame;
    CLogEdit& m_edit;
    PortDescriber m_fnDescribe;
    DeviceOf m_fnDeviceOf;
    bool m_bHints = false;
    bool m_bAskToSave = false;
    bool m_bFullExplanation = false;
    bool m_bFollow = true;
    bool m_bBelowShown = false;
    bool m_bOwnScroll = false;
    bool m_bUnsaved = false;
    bool m_bFirstRunHint = false; // the message pane says where the relay is, until connected
};

} // namespace relvane
