#pragma once

#include "transport/ChannelMessage.h"

#include <QObject>
#include <functional>

namespace relvane
{

// The session's message sink: channel threads post here from any thread; the messages reach the
// handler on the thread this object lives in (the UI thread), one by one, in the order posted.
// It must outlive every channel that posts to it.
class CUiMessageQueue : public QObject, public IMessageSink
{
    Q_OBJECT

public:
    using Handler = std::function<void(const CChannelMessage&)>;

    explicit CUiMessageQueue(QObject* pParent = nullptr);
    ~CUiMessageQueue() override;

    // Set on the UI thread before any channel starts.
    void SetHandler(Handler fnHandler) { m_fnHandler = std::move(fnHandler); }

    void PostChannelMessage(CChannelMessage message) override;

private:
    void Deliver(const CChannelMessage& message);

    Handler m_fnHandler;
};

} // namespace relvane
