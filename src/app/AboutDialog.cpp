#include "app/AboutDialog.h"

#include "app/ToolbarIcons.h"
#include "app/VersionData.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace relvane
{

QString CAboutDialog::VersionText()
{
    return ProgramVersionData().strVersion;
}

QString CAboutDialog::BuildText()
{
    return ProgramVersionData().strBuild;
}

QString CAboutDialog::LegalNotice()
{
    return ProgramVersionData().strLegalNotice;
}

CAboutDialog::CAboutDialog(QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle(QStringLiteral("关于 Relvane"));
    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(ApplicationIcon().pixmap(32, 32));
    auto* pVersion = new QLabel(VersionText(), this);
    auto* pBuild = new QLabel(BuildText(), this);
    auto* pLegal = new QLabel(LegalNotice(), this);
    pVersion->setObjectName(QStringLiteral("ctl_1027"));
    pBuild->setObjectName(QStringLiteral("ctl_1028"));
    pLegal->setObjectName(QStringLiteral("ctl_1029"));
    auto* pTexts = new QVBoxLayout;
    pTexts->addWidget(pVersion);
    pTexts->addWidget(pBuild);
    pTexts->addWidget(pLegal);
    auto* pTop = new QHBoxLayout;
    pTop->addWidget(pIcon, 0, Qt::AlignTop);
    pTop->addLayout(pTexts);
    auto* pButtons = new QDialogButtonBox(this);
    QPushButton* pOk = pButtons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    pOk->setObjectName(QStringLiteral("ctl_1"));
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pTop);
    pLayout->addWidget(pButtons);
}

} // namespace relvane
