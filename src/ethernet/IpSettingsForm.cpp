#include "ethernet/IpSettingsForm.h"

#include "forms/FormButtons.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWidget>

namespace relvane
{

CExchangeError ExchangeIpSettingsForm(const CIpSettingsEntries& entries, CIpSettingsValues& values)
{
    if (QString str = ReadUnsignedField(entries.strUdpPort, 1, 65535, values.nTargetUdpPort); !str.isEmpty())
        return {IDC_IP_UDP_PORT, str};
    if (QString str = ReadUnsignedField(entries.strTcpPort, 1, 65535, values.nLocalTcpPort); !str.isEmpty())
        return {IDC_IP_TCP_PORT, str};
    values.nTargetAddress = entries.nTargetAddress;
    return {};
}

QString FormatIpv4(std::uint32_t nAddress)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(nAddress >> 24)
        .arg((nAddress >> 16) & 0xFF)
        .arg((nAddress >> 8) & 0xFF)
        .arg(nAddress & 0xFF);
}

IpSettingsForm::IpSettingsForm(QWidget* pParent) : CFormDialog(pParent)
{
    setWindowTitle(QStringLiteral("IP设置"));
    // Four octet boxes side by side play the part of an IPv4 address control.
    auto* pAddress = new QWidget(this);
    NameControl(pAddress, IDC_IP_TARGET);
    auto* pAddressRow = new QHBoxLayout(pAddress);
    pAddressRow->setContentsMargins(0, 0, 0, 0);
    pAddressRow->setSpacing(2);
    for (int i = 0; i < 4; ++i)
    {
        if (i > 0)
            pAddressRow->addWidget(new QLabel(QStringLiteral("."), pAddress));
        m_apOctets[i] = new QSpinBox(pAddress);
        m_apOctets[i]->setRange(0, 255);
        m_apOctets[i]->setButtonSymbols(QAbstractSpinBox::NoButtons);
        m_apOctets[i]->setAlignment(Qt::AlignCenter);
        m_apOctets[i]->setObjectName(QStringLiteral("octet_%1").arg(i));
        m_apOctets[i]->installEventFilter(this);
        if (i < 3)
        {
            QLineEdit* pEdit = m_apOctets[i]->findChild<QLineEdit*>();
            connect(pEdit, &QLineEdit::textEdited, this,
                    [this, i, pEdit](const QString& strText)
                    {
                        if (strText.size() >= 3 && pEdit->cursorPosition() == strText.size())
                        {
                            MoveToOctet(i + 1);
                            m_bMovedByDigits = true;
                        }
                    });
        }
        pAddressRow->addWidget(m_apOctets[i]);
    }
    m_pUdpPort = new QLineEdit(this);
    m_pTcpPort = new QLineEdit(this);
    NameControl(m_pUdpPort, IDC_IP_UDP_PORT);
    NameControl(m_pTcpPort, IDC_IP_TCP_PORT);
    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("目标IP"), pAddress);
    pForm->addRow(QStringLiteral("目标UDP端口"), m_pUdpPort);
    pForm->addRow(QStringLiteral("本机TCP端口"), m_pTcpPort);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(CreateOkCancel(this));
    SetValues(m_values);
}

void IpSettingsForm::SetValues(const CIpSettingsValues& values)
{
    m_values = values;
    for (int i = 0; i < 4; ++i)
        m_apOctets[i]->setValue(static_cast<int>((m_values.nTargetAddress >> (24 - 8 * i)) & 0xFF));
    m_pUdpPort->setText(QString::number(m_values.nTargetUdpPort));
    m_pTcpPort->setText(QString::number(m_values.nLocalTcpPort));
}

void IpSettingsForm::MoveToOctet(int nOctet)
{
    m_apOctets[nOctet]->setFocus(Qt::TabFocusReason);
    m_apOctets[nOctet]->selectAll();
}

bool IpSettingsForm::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pEvent->type() != QEvent::KeyPress)
        return CFormDialog::eventFilter(pWatched, pEvent);
    const QString strKey = static_cast<QKeyEvent*>(pEvent)->text();
    const bool bDot = strKey == QStringLiteral(".") || strKey == QStringLiteral(",") ||
                      strKey == QStringLiteral("。") || strKey == QStringLiteral("．");
    const bool bMovedByDigits = m_bMovedByDigits;
    m_bMovedByDigits = false;
    if (!bDot)
        return CFormDialog::eventFilter(pWatched, pEvent);
    for (int i = 0; i < 3; ++i)
    {
        if (pWatched == m_apOctets[i] && !bMovedByDigits)
            MoveToOctet(i + 1);
    }
    return true; // a dot is never part of a number
}

std::uint32_t IpSettingsForm::AddressShown() const
{
    std::uint32_t nAddress = 0;
    for (QSpinBox* pOctet : m_apOctets)
        nAddress = (nAddress << 8) | static_cast<std::uint32_t>(pOctet->value() & 0xFF);
    return nAddress;
}

void IpSettingsForm::accept()
{
    CIpSettingsValues values = m_values;
    const CExchangeError error =
        ExchangeIpSettingsForm({AddressShown(), m_pUdpPort->text(), m_pTcpPort->text()}, values);
    if (!error.IsOk())
    {
        FailField(error);
        return;
    }
    m_values = values;
    CFormDialog::accept();
}

} // namespace relvane
