#include "session/UiMessageQueue.h"

#include <QMetaObject>

namespace relvane
{

CUiMessageQueue::CUiMessageQueue(QObject* pParent) : QObject(pParent) {}

CUiMessageQueue::~CUiMessageQueue() = default;

void CUiMessageQueue::PostChannelMessage(CChannelMessage message)
{
    // A queued call is an event for this object: events posted to one receiver are delivered in
    // the order they were posted, and those still queued are dropped with the object.
    QMetaObject::invokeMethod(
        this, [this, message = std::move(message)] { Deliver(message); }, Qt::QueuedConnection);
}

void CUiMessageQueue::Deliver(const CChannelMessage& message)
{
    if (m_fnHandler)
        m_fnHandler(message);
}

} // namespace relvane
