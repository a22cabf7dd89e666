#pragma once

#include "net/THostLookup.h"
#include "net/TSocketEndpoint.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

namespace quillet::testing {

// A name service that does not answer: every lookup waits until the test releases it, then
// finds the name at 127.0.0.1 (so that a late answer that were not dropped would connect
// somewhere the test can watch). The socket layer runs such lookups on threads it never joins,
// so the service outlives them: it releases them and waits for them when it goes.
class TStalledNameService {
public:
    TStalledNameService() = default;
    TStalledNameService(const TStalledNameService&) = delete;
    TStalledNameService& operator=(const TStalledNameService&) = delete;
    ~TStalledNameService()
    {
        Release();
        WaitUntilAllAnswered(std::chrono::seconds(10));
    }

    THostLookupFunction Function()
    {
        return [this](const std::string&, const std::string& port, int family, int socketType,
                   int protocol, TSocketEndpoint& target) {
            std::unique_lock lock(Lock);
            ++Asked;
            Changed.notify_all();
            Changed.wait(lock, [this] { return Released; });
            const int code
                = TSocketEndpoint::Resolve("127.0.0.1", port, family, socketType, protocol, target);
            ++Answered;
            Changed.notify_all();
            return code;
        };
    }

    void Release()
    {
        const std::lock_guard guard(Lock);
        Released = true;
        Changed.notify_all();
    }
    bool WaitUntilAllAnswered(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(Lock);
        return Changed.wait_for(lock, timeout, [this] { return Answered == Asked; });
    }
    int AskedCount()
    {
        const std::lock_guard guard(Lock);
        return Asked;
    }

private:
    std::mutex Lock;
    std::condition_variable Changed;
    int Asked = 0;
    int Answered = 0;
    bool Released = false;
};

} // namespace quillet::testing
