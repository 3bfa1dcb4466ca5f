#include "forms/SerialSettingsForm.h"

#include "common/SerialSettings.h"
#include "forms/FormButtons.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QVBoxLayout>
#include <array>

namespace relvane
{

namespace
{
constexpr int MODE_94 = 0;
constexpr int MODE_103 = 1;

QString EntryAt(const QStringList& list, int nIndex)
{
    return nIndex >= 0 && nIndex < list.size() ? list[nIndex] : QString();
}

PortDescriber& Describer()
{
    static PortDescriber s_fnDescriber;
    return s_fnDescriber;
}

// The port list probes the ports again as it opens, so that an adapter plugged in meanwhile
// shows up.
class CPortComboBox : public QComboBox
{
public:
    CPortComboBox(QWidget* pParent, std::function<void()> fnBeforePopup)
        : QComboBox(pParent), m_fnBeforePopup(std::move(fnBeforePopup))
    {
    }
    void showPopup() override
    {
        if (m_fnBeforePopup)
            m_fnBeforePopup();
        QComboBox::showPopup();
    }

private:
    std::function<void()> m_fnBeforePopup;
};

template <std::size_t N> QStringList Entries(const std::array<const char*, N>& texts)
{
    QStringList list;
    for (const char* pszText : texts)
        list << QString::fromLatin1(pszText);
    return list;
}

void SelectPosition(QComboBox* pBox, int nIndex)
{
    pBox->setCurrentIndex(nIndex >= 0 && nIndex < pBox->count() ? nIndex : -1);
}
} // namespace

const QStringList& SerialBaudEntries()
{
    static const QStringList s_list = Entries(kBaudRateTexts);
    return s_list;
}

const QStringList& SerialDataBitsEntries()
{
    static const QStringList s_list{QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"),
                                    QStringLiteral("7"), QStringLiteral("8")};
    return s_list;
}

const QStringList& SerialStopBitsEntries()
{
    static const QStringList s_list{QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")};
    return s_list;
}

const QStringList& SerialParityEntries()
{
    static const QStringList s_list = Entries(kParityNames);
    return s_list;
}

void ApplySerialDefaults(CSerialFormValues& values)
{
    values.nBaudIndex = 4;
    values.nDataBitsIndex = 4;
    values.nStopBitsIndex = 0;
    values.nTimeoutMs = 1500;
    if (values.nPortIndex != -1)
        values.nPortIndex = 0;
    if (values.nMode == MODE_94)
        values.nParityIndex = 0;
    else if (values.nMode == MODE_103)
        values.nParityIndex = 2;
}

CExchangeError ExchangeSerialForm(const CSerialFormEntries& entries, CSerialFormValues& values)
{
    values.nBaudIndex = entries.nBaudIndex;
    values.nParityIndex = entries.nParityIndex;
    values.nPortIndex = entries.nPortIndex;
    values.nDataBitsIndex = entries.nDataBitsIndex;
    values.nStopBitsIndex = entries.nStopBitsIndex;
    if (QString strMessage = ReadSignedField(entries.strTimeout, 0, 10000, values.nTimeoutMs);
        !strMessage.isEmpty())
        return {IDC_SERIAL_TIMEOUT, strMessage};
    values.strPort = values.nPortIndex != -1 ? EntryAt(entries.ports, values.nPortIndex) : QString();
    values.strBaud = EntryAt(SerialBaudEntries(), values.nBaudIndex);
    values.strParity = EntryAt(SerialParityEntries(), values.nParityIndex);
    return {};
}

void SetPortDescriber(PortDescriber fnDescriber)
{
    Describer() = std::move(fnDescriber);
}

SerialSettingsForm::SerialSettingsForm(const QStringList& ports, QWidget* pParent)
    : CFormDialog(pParent), m_ports(ports)
{
    if (Describer())
    {
        m_details = Describer()();
        m_ports.clear();
        for (const CPortEntry& entry : std::as_const(m_details))
        {
            if (entry.strProblem.isEmpty())
                m_ports << entry.strName;
        }
    }
    setWindowTitle(QStringLiteral("串口设置"));

    auto* pGroup = new QGroupBox(QStringLiteral("串口特征"), this);
    auto* pGrid = new QGridLayout(pGroup);
    auto addRow = [&](int nRow, const QString& strCaption, QWidget* pField, int nId)
    {
        NameControl(pField, nId);
        auto* pLabel = new QLabel(strCaption, pGroup);
        pLabel->setBuddy(pField);
        pGrid->addWidget(pLabel, nRow, 0);
        pGrid->addWidget(pField, nRow, 1);
    };
    m_pPort = new CPortComboBox(pGroup, Describer() ? std::function<void()>([this] { RefreshPorts(); })
                                                    : std::function<void()>());
    FillPorts();
    addRow(0, QStringLiteral("串行口∶"), m_pPort, IDC_SERIAL_PORT);
    m_pBaud = new QComboBox(pGroup);
    m_pBaud->addItems(SerialBaudEntries());
    addRow(1, QStringLiteral("波特率∶"), m_pBaud, IDC_SERIAL_BAUD);
    m_pDataBits = new QComboBox(pGroup);
    m_pDataBits->addItems(SerialDataBitsEntries());
    addRow(2, QStringLiteral("数据位∶"), m_pDataBits, IDC_SERIAL_DATABITS);
    m_pStopBits = new QComboBox(pGroup);
    m_pStopBits->addItems(SerialStopBitsEntries());
    addRow(3, QStringLiteral("停止位∶"), m_pStopBits, IDC_SERIAL_STOPBITS);
    m_pParity = new QComboBox(pGroup);
    m_pParity->addItems(SerialParityEntries());
    addRow(4, QStringLiteral("校验位∶"), m_pParity, IDC_SERIAL_PARITY);
    m_pTimeout = new QLineEdit(pGroup);
    addRow(5, QStringLiteral("超时∶"), m_pTimeout, IDC_SERIAL_TIMEOUT);
    pGrid->addWidget(new QLabel(QStringLiteral("ms"), pGroup), 5, 2);

    // Created before the OK and cancel buttons so that the tab order follows the form's order.
    auto* pDefaults = new QPushButton(QStringLiteral("默认值"), this);
    NameControl(pDefaults, IDC_SERIAL_DEFAULTS);
    pDefaults->setAutoDefault(false);
    QDialogButtonBox* pButtons = CreateOkCancel(this);
    connect(pDefaults, &QPushButton::clicked, this, &SerialSettingsForm::OnDefaults);

    auto* pBottom = new QHBoxLayout;
    pBottom->addWidget(pDefaults);
    pBottom->addStretch();
    pBottom->addWidget(pButtons);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pGroup);
    pLayout->addLayout(pBottom);

    SetValues(m_values);
}

void SerialSettingsForm::SetValues(const CSerialFormValues& values)
{
    m_values = values;
    if (m_ports.isEmpty())
    {
        // Nothing can be opened now: no port can be chosen.
        m_values.nPortIndex = -1;
        // The detailed list stays open for reading why the ports that exist cannot be used.
        m_pPort->setEnabled(!m_details.isEmpty());
    }
    ShowValues();
}

void SerialSettingsForm::FillPorts()
{
    m_pPort->clear();
    if (!Describer())
    {
        m_pPort->addItems(m_ports);
        return;
    }
    // The ports that open keep their positions (the session stores a position in this list);
    // those that cannot be opened follow, greyed and not selectable.
    for (const bool bUsable : {true, false})
    {
        for (const CPortEntry& entry : std::as_const(m_details))
        {
            if (entry.strProblem.isEmpty() != bUsable)
                continue;
            QString strText = entry.strName;
            if (!entry.strDetail.isEmpty())
                strText += QStringLiteral("    ") + entry.strDetail;
            if (!bUsable)
                strText += QStringLiteral("    (") + entry.strProblem + u')';
            m_pPort->addItem(strText, entry.strName);
            if (!bUsable)
            {
                if (auto* pModel = qobject_cast<QStandardItemModel*>(m_pPort->model()))
                    pModel->item(m_pPort->count() - 1)->setEnabled(false);
                m_pPort->setItemData(m_pPort->count() - 1, entry.strProblem, Qt::ToolTipRole);
            }
        }
    }
}

void SerialSettingsForm::RefreshPorts()
{
    const QString strChosen = EntryAt(m_ports, m_pPort->currentIndex());
    m_details = Describer()();
    m_ports.clear();
    for (const CPortEntry& entry : std::as_const(m_details))
    {
        if (entry.strProblem.isEmpty())
            m_ports << entry.strName;
    }
    const QSignalBlocker blocker(m_pPort);
    FillPorts();
    m_pPort->setCurrentIndex(static_cast<int>(m_ports.indexOf(strChosen)));
}

void SerialSettingsForm::ShowValues()
{
    SelectPosition(m_pPort, m_values.nPortIndex);
    SelectPosition(m_pBaud, m_values.nBaudIndex);
    SelectPosition(m_pDataBits, m_values.nDataBitsIndex);
    SelectPosition(m_pStopBits, m_values.nStopBitsIndex);
    SelectPosition(m_pParity, m_values.nParityIndex);
    m_pTimeout->setText(QString::number(m_values.nTimeoutMs));
}

void SerialSettingsForm::OnDefaults()
{
    ApplySerialDefaults(m_values);
    ShowValues();
}

CSerialFormEntries SerialSettingsForm::Entries() const
{
    CSerialFormEntries entries;
    entries.ports = m_ports;
    // A greyed entry is never a choice.
    entries.nPortIndex = m_pPort->currentIndex() < m_ports.size() ? m_pPort->currentIndex() : -1;
    entries.nBaudIndex = m_pBaud->currentIndex();
    entries.nDataBitsIndex = m_pDataBits->currentIndex();
    entries.nStopBitsIndex = m_pStopBits->currentIndex();
    entries.nParityIndex = m_pParity->currentIndex();
    entries.strTimeout = m_pTimeout->text();
    return entries;
}

void SerialSettingsForm::accept()
{
    CSerialFormValues values = m_values;
    const CExchangeError error = ExchangeSerialForm(Entries(), values);
    if (!error.IsOk())
    {
        FailField(error);
        return;
    }
    m_values = values;
    CFormDialog::accept();
}

} // namespace relvane
