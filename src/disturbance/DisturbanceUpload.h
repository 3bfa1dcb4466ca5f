#pragma once

#include "disturbance/ComtradeWriter.h"
#include "disturbance/DisturbanceTransfer.h"
#include "session/IIec103Observer.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

namespace relvane
{

class CRelvaneView;

// "读取录波": a disturbance record from the relay to COMTRADE files, through the session. The
// upload sends its orders and acknowledgements (ASDU 24, 25) as 103 requests of the session, so
// every frame is logged and the link rules hold (one request at a time, FCB repetitions); it
// reads the relay's answers from the frames the session receives and fetches class 1 data
// itself only where the session would not (automatic processing off, an answer without ACD, a
// time-out). The relay's identification (ASDU 5) is kept whenever it passes, for the files'
// station and device names.
//
// A lost or garbled answer is repeated by the link layer; a channel with a gap is asked for
// again; a relay that stops answering, aborts or cannot complete a channel ends the upload with
// a message, and no files are written then.
class CDisturbanceUpload : public QObject, private IIec103Observer
{
    Q_OBJECT

public:
    // Consecutive time-outs, and repetitions of an order nothing came back for, before the upload
    // is given up.
    static constexpr int kMaxTimeouts = 5;
    static constexpr int kMaxOrderRepeats = 2;

    explicit CDisturbanceUpload(CRelvaneView& view, QObject* pParent = nullptr);
    ~CDisturbanceUpload() override;

    // Asks the relay for its list of records (Finished follows, with List() filled).
    bool StartList(std::string& strError);
    // Reads record nFan into the folder.
    bool StartUpload(std::uint16_t nFan, const std::string& strFolder, ComtradeFormat eFormat,
                     std::string& strError);
    // The user stops it: the relay is told (ASDU 24, TOO 3) and Finished reports the stop.
    void Cancel();

    bool Busy() const { return m_bBusy; }
    const CDisturbanceTransfer& Transfer() const { return m_transfer; }
    const std::vector<CDisturbanceListEntry>& List() const { return m_transfer.List(); }
    const std::vector<std::string>& Files() const { return m_files; }
    // The relay's identification as last seen (empty before any ASDU 5).
    const std::string& Identification() const { return m_strIdentification; }

    // Time without any progress after which the last order is sent again (and finally the upload
    // given up); tests shorten it.
    void SetWatchdogMs(int nMs) { m_nWatchdogMs = nMs; }

signals:
    // Something moved: channels done of all, values of the current channel of all.
    void Progress(int nChannelsDone, int nChannels, int nValues, int nValuesPerChannel);
    // The upload or the list request ended; bOk false with a message saying why.
    void Finished(bool bOk, const QString& strMessage);

private:
    void OnIec103Frame(const std::uint8_t* pFrame, int nLength) override;
    void OnIec103Garbled() override;
    void OnIec103Timeout() override;
    void OnIec103Settled() override;

    bool Start(std::uint16_t nFan, std::string& strError);
    void SendOrder(const CTransferOrder& order);
    void RequestClass1();
    void OnWatchdog();
    void Finish();
    void ReportProgress();

    CRelvaneView& m_view;
    QPointer<CRelvaneView> m_pViewAlive; // the view may go first (the runner ends it before us)
    CDisturbanceTransfer m_transfer;
    bool m_bBusy = false;
    std::string m_strFolder;
    ComtradeFormat m_eFormat = ComtradeFormat::Ascii;
    std::vector<std::string> m_files;
    std::string m_strIdentification;
    std::string m_strSoftware;
    std::uint8_t m_nFun = 0; // the relay's function type, from its identification

    // What the frames of the chunk being received asked for, acted on when it settles.
    std::vector<CTransferOrder> m_pending;
    bool m_bAnswerSeen = false; // a frame came in this chunk
    bool m_bAccessDemand = false;
    bool m_bTimedOut = false;
    int m_nTimeouts = 0;
    int m_nOrderRepeats = 0;
    int m_nLastAccepted = 0;
    int m_nWatchdogMs = 10000;
    QTimer m_watchdog;
    QTimer m_fetch; // a class 1 request after a pause, when an answer carried no ACD
};

} // namespace relvane
