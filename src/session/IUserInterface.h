#pragma once

#include "session/FormFields.h"

#include <string>

namespace relvane
{

class CCustomFrame;
class CGenericList;

// Everything the session asks of the user: the modal forms and the message boxes. Each Show*Form
// opens its form filled with `fields` and returns true when it closed with "确定", `fields` then
// holding what the form yields, or false when it was cancelled.
//
// The settings forms, the clock form and the general-command and disturbance forms get a copy:
// after a cancel the session ignores it. The custom-frame and the two generic forms get the
// session's own kept state (frame, list and fields) and change it as their buttons do: "计算校验和",
// "添加" and "清除" take effect even when the form is cancelled afterwards.
//
// Calls come on the UI thread; an implementation for tests answers from a script and never blocks.
class IUserInterface
{
public:
    virtual ~IUserInterface() = default;

    // Message box, caption "Relvane", one OK button.
    virtual void ShowMessage(const std::string& strText) = 0;

    virtual bool ShowSerialForm(CSerialFields& fields) = 0;
    virtual bool ShowDeviceAddressForm(CDeviceAddressFields& fields) = 0;
    virtual bool ShowClockForm(CClockFields& fields) = 0;
    virtual bool ShowLineLimitForm(CLineLimitFields& fields) = 0;
    virtual bool ShowIntervalForm(CIntervalFields& fields) = 0;
    virtual bool ShowGeneralCommandForm(CGeneralCommandFields& fields) = 0;
    virtual bool ShowDisturbanceForm(CDisturbanceFields& fields) = 0;
    // OK stores the parsed text into `frame` (CCustomFrame::StoreText).
    virtual bool ShowCustomFrameForm(CCustomFrame& frame, CCustomFrameFields& fields) = 0;
    // Both generic forms edit the one list the codec shares between them.
    virtual bool ShowGenericDataForm(CGenericList& list, CGenericDataFields& fields) = 0;
    virtual bool ShowGenericIdentificationForm(CGenericList& list, CGenericIdentificationFields& fields) = 0;
    virtual bool ShowIpForm(CIpFields& fields) = 0;

    // True while a program (a test plan) answers the forms in the user's place: what it types
    // is not kept as the user's own (the custom frame shows the user's last frame next time).
    virtual bool AnswersForTheUser() const { return false; }

    // A passing note for the status line (commands waiting for the relay's answer); an empty
    // text takes the note away. A front end without a status line may ignore it.
    virtual void ShowStatusHint(const std::string& strText) { (void)strText; }
    // The open serial port's device went away (a pseudo-terminal closed, a USB adapter pulled);
    // said once per opening. A message box unless the interface has a quieter place for it (the
    // window uses its status bar).
    virtual void ShowSerialLost(const std::string& strText) { ShowMessage(strText); }
};

} // namespace relvane
