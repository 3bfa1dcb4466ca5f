#pragma once

#include "transport/ChannelMessage.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

namespace relvane::test
{

// Records every posted notification; the test thread waits on it with generous limits.
class CRecordingSink final : public IMessageSink
{
public:
    static constexpr std::chrono::seconds kPatience{10};

    void PostChannelMessage(CChannelMessage message) override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_messages.push_back(std::move(message));
        }
        m_changed.notify_all();
    }

    std::vector<CChannelMessage> Messages() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }

    std::size_t Count() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages.size();
    }

    // True when the predicate over all messages so far held within the limit. The predicate runs
    // under the sink's lock: it must look only at the messages it is given.
    bool WaitUntil(const std::function<bool(const std::vector<CChannelMessage>&)>& predicate,
                   std::chrono::milliseconds limit = kPatience)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return predicate(m_messages); });
    }

    bool WaitForCount(std::size_t nCount, std::chrono::milliseconds limit = kPatience)
    {
        return WaitUntil([nCount](const auto& messages) { return messages.size() >= nCount; }, limit);
    }

    // Messages with this id (and this wParam unless it is negative).
    static std::size_t CountOf(const std::vector<CChannelMessage>& messages, unsigned nMessage,
                               long wParam = -1)
    {
        std::size_t nCount = 0;
        for (const CChannelMessage& message : messages)
        {
            if (message.nMessage == nMessage && (wParam < 0 || message.wParam == wParam))
                ++nCount;
        }
        return nCount;
    }

    std::size_t CountOf(unsigned nMessage, long wParam = -1) const
    {
        return CountOf(Messages(), nMessage, wParam);
    }

    bool WaitForMessages(unsigned nMessage, long wParam, std::size_t nCount,
                         std::chrono::milliseconds limit = kPatience)
    {
        return WaitUntil([&](const auto& messages) { return CountOf(messages, nMessage, wParam) >= nCount; },
                         limit);
    }

    bool WaitForStatus(int nStatus, std::size_t nCount = 1)
    {
        return WaitForMessages(WM_NET_STATUS, nStatus, nCount);
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<CChannelMessage> m_messages;
};

} // namespace relvane::test
