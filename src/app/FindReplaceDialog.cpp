#include "app/FindReplaceDialog.h"

#include "app/LogEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace relvane
{

CFindReplaceDialog::CFindReplaceDialog(CLogEdit& edit, QWidget* pParent) : QDialog(pParent), m_edit(edit)
{
    setModal(false);
    m_pFind = new QLineEdit(this);
    m_pReplace = new QLineEdit(this);
    m_pFind->setObjectName(QStringLiteral("findWhat"));
    m_pReplace->setObjectName(QStringLiteral("replaceWith"));
    auto* pFindLabel = new QLabel(QStringLiteral("查找内容(&N):"), this);
    pFindLabel->setBuddy(m_pFind);
    m_pReplaceLabel = new QLabel(QStringLiteral("替换为(&P):"), this);
    m_pReplaceLabel->setBuddy(m_pReplace);
    m_pWholeWord = new QCheckBox(QStringLiteral("全字匹配(&W)"), this);
    m_pMatchCase = new QCheckBox(QStringLiteral("区分大小写(&C)"), this);

    auto* pFindButton = new QPushButton(QStringLiteral("查找下一个(&F)"), this);
    m_pReplaceButton = new QPushButton(QStringLiteral("替换(&R)"), this);
    m_pReplaceAllButton = new QPushButton(QStringLiteral("全部替换(&A)"), this);
    auto* pCancel = new QPushButton(QStringLiteral("取消"), this);
    pFindButton->setDefault(true);
    connect(pFindButton, &QPushButton::clicked, this, &CFindReplaceDialog::OnFind);
    connect(m_pReplaceButton, &QPushButton::clicked, this, &CFindReplaceDialog::OnReplace);
    connect(m_pReplaceAllButton, &QPushButton::clicked, this, &CFindReplaceDialog::OnReplaceAll);
    connect(pCancel, &QPushButton::clicked, this, &QDialog::hide);

    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(pFindLabel, 0, 0);
    pGrid->addWidget(m_pFind, 0, 1);
    pGrid->addWidget(m_pReplaceLabel, 1, 0);
    pGrid->addWidget(m_pReplace, 1, 1);
    pGrid->addWidget(m_pWholeWord, 2, 0, 1, 2);
    pGrid->addWidget(m_pMatchCase, 3, 0, 1, 2);
    auto* pButtons = new QVBoxLayout;
    pButtons->addWidget(pFindButton);
    pButtons->addWidget(m_pReplaceButton);
    pButtons->addWidget(m_pReplaceAllButton);
    pButtons->addWidget(pCancel);
    pButtons->addStretch();
    pGrid->addLayout(pButtons, 0, 2, 5, 1);
    SetReplaceMode(false);
}

void CFindReplaceDialog::SetReplaceMode(bool bReplace)
{
    setWindowTitle(bReplace ? QStringLiteral("替换") : QStringLiteral("查找"));
    m_pReplaceLabel->setVisible(bReplace);
    m_pReplace->setVisible(bReplace);
    m_pReplaceButton->setVisible(bReplace);
    m_pReplaceAllButton->setVisible(bReplace);
}

void CFindReplaceDialog::OpenFind()
{
    SetReplaceMode(false);
    const QString strSelected = m_edit.textCursor().selectedText();
    if (!strSelected.isEmpty() && !strSelected.contains(QChar::ParagraphSeparator))
        m_pFind->setText(strSelected);
    show();
    raise();
    m_pFind->setFocus();
    m_pFind->selectAll();
}

void CFindReplaceDialog::OpenReplace()
{
    OpenFind();
    SetReplaceMode(true);
}

void CFindReplaceDialog::FindNext()
{
    if (m_pFind->text().isEmpty())
    {
        OpenFind();
        return;
    }
    Report(m_edit.FindText(m_pFind->text(), Flags()));
}

QString CFindReplaceDialog::FindWhat() const
{
    return m_pFind->text();
}

QTextDocument::FindFlags CFindReplaceDialog::Flags() const
{
    QTextDocument::FindFlags flags;
    if (m_pWholeWord->isChecked())
        flags |= QTextDocument::FindWholeWords;
    if (m_pMatchCase->isChecked())
        flags |= QTextDocument::FindCaseSensitively;
    return flags;
}

void CFindReplaceDialog::OnFind()
{
    Report(m_edit.FindText(m_pFind->text(), Flags()));
}

void CFindReplaceDialog::OnReplace()
{
    Report(m_edit.ReplaceSelection(m_pFind->text(), m_pReplace->text(), Flags()));
}

void CFindReplaceDialog::OnReplaceAll()
{
    m_edit.ReplaceAll(m_pFind->text(), m_pReplace->text(), Flags());
}

void CFindReplaceDialog::Report(bool bFound)
{
    if (!bFound)
        QApplication::beep();
}

} // namespace relvane
