#pragma once

#include "session/FormFields.h"

#include <string>

namespace relvane
{

class CCustomFrame;
class CGenericList;

// Everything the session asks of the user: the modal forms and the message boxes. Each Show*Form
// opens its form filled with `fields`, returns true when it closed with "确定" (then `fields`
// holds what the form yields) and false when it was cancelled (then the session ignores `fields`).
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
    // The form edits `frame` in place: OK stores the parsed text, "计算校验和" and "清除" change it
    // even when the form is cancelled afterwards.
    virtual bool ShowCustomFrameForm(CCustomFrame& frame, CCustomFrameFields& fields) = 0;
    // Both generic forms edit the one shared list in place ("添加" and "清除" stay after a cancel).
    virtual bool ShowGenericDataForm(CGenericList& list, CGenericDataFields& fields) = 0;
    virtual bool ShowGenericIdentificationForm(CGenericList& list, CGenericIdentificationFields& fields) = 0;
    virtual bool ShowIpForm(CIpFields& fields) = 0;
};

} // namespace relvane
