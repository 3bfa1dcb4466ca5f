#pragma once

#include "session/IUserInterface.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>

namespace relvane
{

// The session's forms and message boxes as modal Qt dialogs over the main window.
class CDialogUserInterface : public IUserInterface
{
public:
    using PortLister = std::function<QStringList()>;

    // `fnListPorts` answers the serial form's port list ("COMn" that open now, ascending).
    explicit CDialogUserInterface(PortLister fnListPorts);

    void SetParentWidget(QWidget* pParent) { m_pParent = pParent; }

    void ShowMessage(const std::string& strText) override;
    bool ShowSerialForm(CSerialFields& fields) override;
    bool ShowDeviceAddressForm(CDeviceAddressFields& fields) override;
    bool ShowClockForm(CClockFields& fields) override;
    bool ShowLineLimitForm(CLineLimitFields& fields) override;
    bool ShowIntervalForm(CIntervalFields& fields) override;
    bool ShowGeneralCommandForm(CGeneralCommandFields& fields) override;
    bool ShowDisturbanceForm(CDisturbanceFields& fields) override;
    bool ShowCustomFrameForm(CCustomFrame& frame, CCustomFrameFields& fields) override;
    bool ShowGenericDataForm(CGenericList& list, CGenericDataFields& fields) override;
    bool ShowGenericIdentificationForm(CGenericList& list, CGenericIdentificationFields& fields) override;
    bool ShowIpForm(CIpFields& fields) override;
    // Shown in the status bar of the parent window while it stands; "" clears it.
    void ShowStatusHint(const std::string& strText) override;
    // In the main window's status bar (a message box without one): an unattended window must not
    // wait behind a modal box for this.
    void ShowSerialLost(const std::string& strText) override;

private:
    PortLister m_fnListPorts;
    QPointer<QWidget> m_pParent;
};

} // namespace relvane
