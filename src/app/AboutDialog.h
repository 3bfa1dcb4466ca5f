#pragma once

#include <QDialog>

namespace relvane
{

// "关于 Relvane": the product line, the build and the legal notice.
class CAboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDialog(QWidget* pParent = nullptr);

    static QString VersionText(); // "Relvane %s 版"
    static QString BuildText();   // "Build %s"
    static QString LegalNotice();
};

} // namespace relvane
