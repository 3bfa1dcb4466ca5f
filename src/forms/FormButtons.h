#pragma once

class QDialog;
class QDialogButtonBox;

namespace relvane
{

// "确定" (control 1) and "取消" (control 2), wired to the dialog's accept and reject.
QDialogButtonBox* CreateOkCancel(QDialog* pDialog);

} // namespace relvane
