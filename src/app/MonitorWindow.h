#pragma once

#include "monitor/MonitorSettings.h"

#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTextEdit;
class QTimer;

namespace relvane
{

class CLineMonitor;

// The "线路监视" window: a thin face over the line monitor. The user picks the protocol, the
// wiring (two receive-only ports or one bus), the ports, baud and parity, starts and stops
// listening, captures to disk and saves the log as RTF; the log and the statistics show as they
// grow. The workbench's own session is not touched.
class CMonitorWindow : public QWidget
{
    Q_OBJECT

public:
    // Where the window asks for a file name (capture, RTF); tests set a hook so that no dialog
    // opens. An empty name cancels.
    using FileNameHook = std::function<QString(const QString& strTitle)>;
    static void SetFileNameHook(FileNameHook fnHook);

    explicit CMonitorWindow(QWidget* pParent = nullptr);
    ~CMonitorWindow() override;

    CMonitorFields Fields() const;
    CLineMonitor& Monitor() { return *m_pMonitor; }
    QTextEdit* LogView() const { return m_pLog; }
    QLabel* StatusLabel() const { return m_pStatus; }

    // The buttons' actions, for the buttons and for tests.
    void OnStart();
    void OnStop();
    void OnCapture();
    void OnSave();

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void UpdateControls();
    void RefreshStatistics();
    QString AskFileName(const QString& strTitle, const QString& strFilter);

    std::unique_ptr<CLineMonitor> m_pMonitor;
    QComboBox* m_pProtocol = nullptr;
    QComboBox* m_pWiring = nullptr;
    QComboBox* m_pMaster = nullptr;
    QComboBox* m_pRelay = nullptr;
    QComboBox* m_pBus = nullptr;
    QComboBox* m_pBaud = nullptr;
    QComboBox* m_pParity = nullptr;
    QPushButton* m_pStart = nullptr;
    QPushButton* m_pStop = nullptr;
    QPushButton* m_pCapture = nullptr;
    QPushButton* m_pSave = nullptr;
    QTextEdit* m_pLog = nullptr;
    QPlainTextEdit* m_pStatistics = nullptr;
    QLabel* m_pStatus = nullptr;
    QTimer* m_pRefresh = nullptr;
};

} // namespace relvane
