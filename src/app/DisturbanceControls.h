#pragma once

#include "disturbance/DisturbanceRecord.h"

#include <QObject>
#include <QString>

class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QMainWindow;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace relvane
{

class CDisturbanceUpload;
class CRelvaneView;
struct CCommandState;

// One line of the record list: "2    2026-12-08 03:19:10.609    已传送" (FAN, the fault's time, and
// whether the relay marks the record as transmitted).
QString DisturbanceListText(const CDisturbanceListEntry& entry);
// The progress bar's range and value: every value of every channel counts once.
int UploadProgressMaximum(int nChannels, int nValuesPerChannel);
int UploadProgressValue(int nChannelsDone, int nValues, int nValuesPerChannel);
// "通道 3/8, 400/1000 个值" while values come; "正在读取录波表…" before the channel count is known.
QString UploadProgressText(int nChannelsDone, int nChannels, int nValues, int nValuesPerChannel);

// The window's side of the disturbance upload: "读取录波…" (our own item after the 103 commands)
// opens a window of its own, not modal, so that the log stays in view: the relay's record list,
// the folder and format of the files, "读取" and a progress bar over channels and values. The
// folder and format are kept in our own settings file.
class CDisturbanceControls : public QObject
{
    Q_OBJECT

public:
    CDisturbanceControls(CRelvaneView& view, QMainWindow& frame);
    ~CDisturbanceControls() override;

    bool OnCommand(int nId);
    bool QueryCommand(int nId, CCommandState& state) const;

    CDisturbanceUpload& Upload() { return *m_pUpload; }
    QDialog* Dialog() const { return m_pDialog; }

private:
    void CreateDialog();
    void RefreshList();
    void StartUpload();
    void OnProgress(int nChannelsDone, int nChannels, int nValues, int nValuesPerChannel);
    void OnFinished(bool bOk, const QString& strMessage);
    void UpdateButtons();

    CRelvaneView& m_view;
    QMainWindow& m_frame;
    CDisturbanceUpload* m_pUpload = nullptr;
    QDialog* m_pDialog = nullptr;
    QTreeWidget* m_pList = nullptr;
    QLineEdit* m_pFolder = nullptr;
    QComboBox* m_pFormat = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QLabel* m_pStatus = nullptr;
    QPushButton* m_pRefresh = nullptr;
    QPushButton* m_pStart = nullptr;
    QPushButton* m_pCancel = nullptr;
    QPushButton* m_pView = nullptr; // "查看录波": the files just written, in the record viewer
    bool m_bListing = false; // the running request is the list's
};

} // namespace relvane
