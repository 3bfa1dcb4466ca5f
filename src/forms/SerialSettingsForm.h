#pragma once

#include "forms/FieldExchange.h"
#include "forms/FormDialog.h"

#include <QList>
#include <QStringList>
#include <functional>

class QComboBox;
class QLineEdit;

namespace relvane
{

// Control identifiers of the serial form.
enum : int
{
    IDC_SERIAL_PORT = 1000,
    IDC_SERIAL_BAUD = 1002,
    IDC_SERIAL_DATABITS = 1004,
    IDC_SERIAL_STOPBITS = 1006,
    IDC_SERIAL_PARITY = 1007,
    IDC_SERIAL_TIMEOUT = 1011,
    IDC_SERIAL_DEFAULTS = 1019
};

// What the serial form is filled with and hands back. Positions count from 0, -1 is no entry.
struct CSerialFormValues
{
    int nPortIndex = 0;
    int nBaudIndex = 4;
    int nDataBitsIndex = 4;
    int nStopBitsIndex = 0;
    int nParityIndex = 0;
    int nTimeoutMs = 1500;
    int nMode = 0; // protocol mode: only the defaults button looks at it
    // Texts of the selected port, baud-rate and parity entries (handed back on OK).
    QString strPort;
    QString strBaud;
    QString strParity;
};

// The controls' contents as the user left them.
struct CSerialFormEntries
{
    QStringList ports;
    int nPortIndex = -1;
    int nBaudIndex = -1;
    int nDataBitsIndex = -1;
    int nStopBitsIndex = -1;
    int nParityIndex = -1;
    QString strTimeout;
};

const QStringList& SerialBaudEntries();
const QStringList& SerialDataBitsEntries();
const QStringList& SerialStopBitsEntries();
const QStringList& SerialParityEntries();

// "默认值": 9600, 8, 1, 1500 ms, first port unless there is none; parity None in the '94
// mode, Even in the 103 mode, unchanged in the Ethernet mode.
void ApplySerialDefaults(CSerialFormValues& values);

// Reads the entries in the form's order (baud, parity, port, data bits, stop bits, time-out);
// on success the positions, time-out and the three entry texts are in `values`.
CExchangeError ExchangeSerialForm(const CSerialFormEntries& entries, CSerialFormValues& values);

// A port as the detailed list shows it: "COMn", what it leads to (device, adapter, serial number)
// and, for a port that exists but cannot be opened now, why (empty when it can be).
struct CPortEntry
{
    QString strName;
    QString strDetail;
    QString strProblem;
};
using PortDescriber = std::function<QList<CPortEntry>()>;

// With a describer set, the port list shows beside each COMn its device and adapter, lists the
// ports that exist but cannot be opened greyed after the others with the reason, and is probed
// again each time it is opened. Without one (the default) the list is the plain one.
void SetPortDescriber(PortDescriber fnDescriber);

class SerialSettingsForm : public CFormDialog
{
    Q_OBJECT

public:
    // `ports` are the ports that can be opened now, as "COMn" in ascending order.
    explicit SerialSettingsForm(const QStringList& ports, QWidget* pParent = nullptr);

    void SetValues(const CSerialFormValues& values);
    const CSerialFormValues& Values() const { return m_values; }

    void accept() override;

private:
    void ShowValues();
    void FillPorts();
    void RefreshPorts();
    void OnDefaults();
    CSerialFormEntries Entries() const;

    QStringList m_ports;
    QList<CPortEntry> m_details; // with a describer: every port that exists
    CSerialFormValues m_values;
    QComboBox* m_pPort = nullptr;
    QComboBox* m_pBaud = nullptr;
    QComboBox* m_pDataBits = nullptr;
    QComboBox* m_pStopBits = nullptr;
    QComboBox* m_pParity = nullptr;
    QLineEdit* m_pTimeout = nullptr;
};

} // namespace relvane
