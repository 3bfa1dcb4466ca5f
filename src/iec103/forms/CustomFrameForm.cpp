#include "iec103/forms/CustomFrameForm.h"

#include "forms/FormButtons.h"
#include "iec103/CustomFrame.h"

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
    m_pText->setPlainText(QString::fromStdString(m_frame.Text(IsHex())));
}

void CustomFrameForm::accept()
{
    // No checks: whatever can be read from the start of the text is the frame.
    m_frame.StoreText(m_pText->toPlainText().toStdString(), IsHex());
    CFormDialog::accept();
}

void CustomFrameForm::OnCompleteChecksum()
{
    std::string strMessage;
    if (!m_frame.CompleteText(m_pText->toPlainText().toStdString(), IsHex(), strMessage))
    {
        ShowRelvaneMessage(this, QString::fromStdString(strMessage));
        return;
    }
    ShowFrame();
}

void CustomFrameForm::OnClear()
{
    m_frame.Clear();
    ShowFrame();
}

} // namespace relvane
