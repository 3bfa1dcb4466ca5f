#include "forms/FormButtons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace relvane
{

QDialogButtonBox* CreateOkCancel(QDialog* pDialog)
{
    auto* pButtons = new QDialogButtonBox(pDialog);
    QPushButton* pOk = pButtons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    QPushButton* pCancel = pButtons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    pOk->setObjectName(QStringLiteral("ctl_1"));
    pCancel->setObjectName(QStringLiteral("ctl_2"));
    pOk->setDefault(true);
    QObject::connect(pButtons, &QDialogButtonBox::accepted, pDialog, &QDialog::accept);
    QObject::connect(pButtons, &QDialogButtonBox::rejected, pDialog, &QDialog::reject);
    return pButtons;
}

} // namespace relvane
