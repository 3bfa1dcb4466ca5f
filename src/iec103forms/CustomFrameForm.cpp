#include "iec103forms/CustomFrameForm.h"

#include "forms/FormButtons.h"
#include "iec103/CustomFrame.h"
#include "iec103/FrameText.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <string>

namespace relvane
{

CustomFrameForm::CustomFrameForm(CCustomFrame& frame, QWidget* pParent) : CFormDialog(pParent), m_frame(frame)
{
    setWindowTitle(QStringLiteral("自定义103报文"));
    auto* pGroup = new QGroupBox(QStringLiteral("数据"), this);
    m_pText = new QPlainTextEdit(pGroup);
    NameControl(m_pText, IDC_FRAME_TEXT);
    auto* pGroupLayout = new QVBoxLayout(pGroup);
    pGroupLayout->addWidget(m_pText);

    m_pDecimal = new QRadioButton(QStringLiteral("十进制"), this);
    m_pHex = new QRadioButton(QStringLiteral("十六进制"), this);
    NameControl(m_pDecimal, IDC_FRAME_DECIMAL);
    NameControl(m_pHex, IDC_FRAME_HEX);
    auto* pBase = new QButtonGroup(this);
    pBase->addButton(m_pDecimal);
    pBase->addButton(m_pHex);
    m_pHex->setChecked(true);
    connect(m_pDecimal, &QRadioButton::clicked, this, [this] { OnBaseClicked(false); });
    connect(m_pHex, &QRadioButton::clicked, this, [this] { OnBaseClicked(true); });

    m_pChecksum = new QPushButton(QStringLiteral("计算校验和"), this);
    auto* pClear = new QPushButton(QStringLiteral("清除"), this);
    NameControl(m_pChecksum, IDC_FRAME_CHECKSUM);
    NameControl(pClear, IDC_FRAME_CLEAR);
    m_pChecksum->setAutoDefault(false);
    pClear->setAutoDefault(false);
    connect(m_pChecksum, &QPushButton::clicked, this, &CustomFrameForm::OnCompleteChecksum);
    connect(pClear, &QPushButton::clicked, this, &CustomFrameForm::OnClear);

    auto* pRow = new QHBoxLayout;
    pRow->addWidget(m_pDecimal);
    pRow->addWidget(m_pHex);
    pRow->addStretch();
    pRow->addWidget(m_pChecksum);
    pRow->addWidget(pClear);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pGroup);
    pLayout->addLayout(pRow);
    pLayout->addWidget(CreateOkCancel(this));
    resize(460, 260);
    ShowFrame();
}

void CustomFrameForm::SetHex(bool bHex)
{
    (bHex ? m_pHex : m_pDecimal)->setChecked(true);
    ShowFrame();
}

void CustomFrameForm::SetChecksumButtonShown(bool bShown)
{
    m_pChecksum->setVisible(bShown);
}

bool CustomFrameForm::IsHex() const
{
    return m_pHex->isChecked();
}

void CustomFrameForm::ShowFrame()
{
    m_bHexShown = IsHex();
    m_pText->setPlainText(QString::fromStdString(m_frame.Text(m_bHexShown)));
}

void CustomFrameForm::OnBaseClicked(bool bHex)
{
    if (bHex == m_bHexShown)
        return;
    std::string strConverted;
    std::string strMessage;
    if (!ConvertFrameText(m_pText->toPlainText().toStdString(), m_bHexShown, strConverted, strMessage))
    {
        (m_bHexShown ? m_pHex : m_pDecimal)->setChecked(true);
        ShowRelvaneMessage(this, QString::fromStdString(strMessage));
        m_pText->setFocus(Qt::OtherFocusReason);
        return;
    }
    m_bHexShown = bHex;
    m_pText->setPlainText(QString::fromStdString(strConverted));
}

bool CustomFrameForm::CheckedBytes(std::vector<std::uint8_t>& abBytes)
{
    const CCheckedFrameText checked =
        CheckFrameText(m_pText->toPlainText().toStdString(), m_bHexShown, CCustomFrame::kMaxFrame);
    if (!checked.IsOk())
    {
        ShowRelvaneMessage(this, QString::fromStdString(checked.strMessage));
        m_pText->setFocus(Qt::OtherFocusReason);
        return false;
    }
    abBytes = checked.abBytes;
    return true;
}

void CustomFrameForm::accept()
{
    // A token that is no byte is never sent as something else, nor is the text cut before it.
    std::vector<std::uint8_t> abBytes;
    if (!CheckedBytes(abBytes))
        return;
    if (abBytes.empty())
    {
        ShowRelvaneMessage(this, QStringLiteral("请键入报文的字节。"));
        m_pText->setFocus(Qt::OtherFocusReason);
        return;
    }
    m_frame.Store(abBytes);
    CFormDialog::accept();
}

void CustomFrameForm::OnCompleteChecksum()
{
    std::vector<std::uint8_t> abBytes;
    if (!CheckedBytes(abBytes))
        return;
    if (abBytes.size() > static_cast<std::size_t>(CCustomFrame::kMaxCompletion))
        abBytes.resize(CCustomFrame::kMaxCompletion); // the longest frame; what follows is dropped
    const CCompletedFrame completed = CompleteFrame(abBytes);
    if (!completed.IsFrame())
    {
        ShowRelvaneMessage(this, QString::fromStdString(completed.strMessage));
        return;
    }
    m_frame.Store(completed.abFrame);
    ShowFrame();
}

void CustomFrameForm::OnClear()
{
    m_frame.Clear();
    ShowFrame();
}

} // namespace relvane
