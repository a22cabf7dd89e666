#pragma once

#include "net/TTCPBlockSocket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace quillet::sockettest {

using TReport = std::pair<THookSocketReason, std::string>;

// Collects the status reports of one socket, from any thread. Detaches itself when destroyed, so
// it may go before the socket (whose destruction reports its close).
class TStatusLog {
public:
    TStatusLog() = default;
    TStatusLog(const TStatusLog&) = delete;
    TStatusLog& operator=(const TStatusLog&) = delete;
    ~TStatusLog()
    {
        if (Socket != nullptr)
            Socket->OnStatus = nullptr;
    }

    void Attach(TBlockSocket& socket)
    {
        Socket = &socket;
        socket.OnStatus
            = [this](TBlockSocket&, THookSocketReason reason, const std::string& value) {
                  const std::lock_guard guard(Lock);
                  Reports.emplace_back(reason, value);
              };
    }
    std::vector<TReport> Take()
    {
        const std::lock_guard guard(Lock);
        return std::exchange(Reports, {});
    }
    std::vector<std::string> Values(THookSocketReason reason)
    {
        const std::lock_guard guard(Lock);
        std::vector<std::string> values;
        for (const auto& [r, v] : Reports)
            if (r == reason)
                values.push_back(v);
        return values;
    }

private:
    TBlockSocket* Socket = nullptr;
    std::mutex Lock;
    std::vector<TReport> Reports;
};

// A socket listening on an ephemeral loopback port.
struct TLoopbackListener {
    TTCPBlockSocket Socket;
    std::string Port;

    explicit TLoopbackListener(const std::string& address = "127.0.0.1")
    {
        Socket.Bind(address, "0");
        if (Socket.ErrorCode() == 0)
            Socket.Listen();
        Port = std::to_string(Socket.LocalPort());
    }
    bool Listening() { return Socket.ErrorCode() == 0 && Socket.LocalPort() != 0; }
};

// A connection through the layer: Client made by Connect, Server by Accept and AdoptHandle.
struct TConnectedPair {
    TLoopbackListener Listener;
    TTCPBlockSocket Client;
    TTCPBlockSocket Server;

    explicit TConnectedPair(const std::string& address = "127.0.0.1")
        : Listener(address)
    {
        Client.Connect(address, Listener.Port);
        EXPECT_EQ(Client.ErrorCode(), 0);
        EXPECT_TRUE(Listener.Socket.WaitReadable(2000));
        const int handle = Listener.Socket.Accept();
        EXPECT_GE(handle, 0);
        Server.AdoptHandle(handle);
    }
};

// A port on which nothing listens: bound once, then released.
inline std::string RefusedPort()
{
    TTCPBlockSocket probe;
    probe.Bind("127.0.0.1", "0");
    const std::string port = std::to_string(probe.LocalPort());
    probe.Close();
    return port;
}

// Receives until `expected` bytes have come or a receive fails.
inline std::string ReceiveAll(TBlockSocket& socket, std::size_t expected)
{
    std::string all;
    while (all.size() < expected) {
        const std::string chunk = socket.ReceiveChunk(2000);
        if (socket.ErrorCode() != 0)
            break;
        all += chunk;
    }
    return all;
}

inline long long MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace quillet::sockettest
