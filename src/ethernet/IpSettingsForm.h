#pragma once

#include "forms/FieldExchange.h"
#include "forms/FormDialog.h"

#include <cstdint>

class QLineEdit;
class QSpinBox;

namespace relvane
{

enum : int
{
    IDC_IP_TARGET = 1024,
    IDC_IP_UDP_PORT = 1025,
    IDC_IP_TCP_PORT = 1026
};

struct CIpSettingsValues
{
    std::uint32_t nTargetAddress = 0; // host order, first octet most significant
    int nTargetUdpPort = 1032;
    int nLocalTcpPort = 1048;
};

struct CIpSettingsEntries
{
    std::uint32_t nTargetAddress = 0;
    QString strUdpPort;
    QString strTcpPort;
};

// The two ports (unsigned, 1 to 65535), UDP first; the address only once both passed.
CExchangeError ExchangeIpSettingsForm(const CIpSettingsEntries& entries, CIpSettingsValues& values);

// "a.b.c.d" of an address in host order.
QString FormatIpv4(std::uint32_t nAddress);

class IpSettingsForm : public CFormDialog
{
    Q_OBJECT

public:
    explicit IpSettingsForm(QWidget* pParent = nullptr);

    void SetValues(const CIpSettingsValues& values);
    const CIpSettingsValues& Values() const { return m_values; }
    std::uint32_t AddressShown() const;

    void accept() override;

protected:
    // Typing an address as an address: '.' (also ',' and the full-width dots) moves on to the next
    // box, and so does a box's third digit, as the system's address control does.
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void MoveToOctet(int nOctet);

    CIpSettingsValues m_values;
    QSpinBox* m_apOctets[4] = {};
    bool m_bMovedByDigits = false; // the box was entered by a third digit: a '.' right now is that move
    QLineEdit* m_pUdpPort = nullptr;
    QLineEdit* m_pTcpPort = nullptr;
};

} // namespace relvane
