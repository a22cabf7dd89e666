// One-byte ping-pong over loopback TCP: through TTCPBlockSocket, used the way a conversation uses
// it (SendByte, then WaitReadable and ReceiveChunk), against the same exchange on raw sockets
// with TCP_NODELAY (send, poll, recv). The difference is the layer's cost per keystroke.
#include "net/SocketErrors.h"
#include "net/TTCPBlockSocket.h"

#include <benchmark/benchmark.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace quillet {
namespace {

constexpr int WaitMs = 300; // a conversation's receive wait per pass

void BM_LayerPingPong(benchmark::State& state)
{
    TTCPBlockSocket listener;
    listener.Bind("127.0.0.1", "0");
    listener.Listen();
    TTCPBlockSocket client;
    client.Connect("127.0.0.1", std::to_string(listener.LocalPort()));
    TTCPBlockSocket server;
    if (client.ErrorCode() == 0 && listener.WaitReadable(2000))
        server.AdoptHandle(listener.Accept());
    if (server.Handle() == -1) {
        state.SkipWithError("no loopback connection");
        return;
    }

    // The echo side runs the conversation's receive loop and answers every byte.
    std::thread echo([&server] {
        while (true) {
            if (!server.WaitReadable(WaitMs))
                continue;
            const std::string chunk = server.ReceiveChunk(WaitMs);
            if (server.ErrorCode() == quillet::sockerr::ConnectionReset)
                return;
            for (const char c : chunk)
                server.SendByte(static_cast<std::uint8_t>(c));
        }
    });

    for (auto _ : state) {
        client.SendByte('k');
        std::string answer;
        while (answer.empty() && client.WaitReadable(WaitMs))
            answer = client.ReceiveChunk(WaitMs);
        benchmark::DoNotOptimize(answer);
        if (answer.size() != 1) {
            state.SkipWithError("echo lost");
            break;
        }
    }
    client.Close();
    echo.join();
}
BENCHMARK(BM_LayerPingPong)->UseRealTime();

void BM_RawPingPong(benchmark::State& state)
{
    const int listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::listen(listenFd, 1);
    ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    const int clientFd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(clientFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        state.SkipWithError("no loopback connection");
        return;
    }
    const int serverFd = ::accept(listenFd, nullptr, nullptr);
    const int on = 1;
    ::setsockopt(clientFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    ::setsockopt(serverFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));

    auto waitAndReceive = [](int fd, char* buffer, std::size_t room) -> ssize_t {
        pollfd entry { fd, POLLIN, 0 };
        while (::poll(&entry, 1, WaitMs) == 0) { }
        return ::recv(fd, buffer, room, 0);
    };
    std::thread echo([&] {
        char buffer[65536];
        while (true) {
            const ssize_t got = waitAndReceive(serverFd, buffer, sizeof(buffer));
            if (got <= 0)
                return;
            ::send(serverFd, buffer, static_cast<std::size_t>(got), MSG_NOSIGNAL);
        }
    });

    for (auto _ : state) {
        const char ping = 'k';
        ::send(clientFd, &ping, 1, MSG_NOSIGNAL);
        char answer = 0;
        if (waitAndReceive(clientFd, &answer, 1) != 1) {
            state.SkipWithError("echo lost");
            break;
        }
        benchmark::DoNotOptimize(answer);
    }
    ::shutdown(clientFd, SHUT_RDWR);
    echo.join();
    ::close(clientFd);
    ::close(serverFd);
    ::close(listenFd);
}
BENCHMARK(BM_RawPingPong)->UseRealTime();

// Closing many open connections one after another on one thread, as the main thread does when
// the user closes every conversation: the whole run is the time the main thread is held.
void BM_CloseConnections(benchmark::State& state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    TTCPBlockSocket listener;
    listener.Bind("127.0.0.1", "0");
    listener.Listen();
    const std::string port = std::to_string(listener.LocalPort());
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::unique_ptr<TTCPBlockSocket>> clients;
        std::vector<std::unique_ptr<TTCPBlockSocket>> servers;
        for (std::size_t i = 0; i < count; ++i) {
            clients.push_back(std::make_unique<TTCPBlockSocket>());
            clients.back()->Connect("127.0.0.1", port);
            servers.push_back(std::make_unique<TTCPBlockSocket>());
            if (clients.back()->ErrorCode() == 0 && listener.WaitReadable(2000))
                servers.back()->AdoptHandle(listener.Accept());
            if (servers.back()->Handle() == -1) {
                state.SkipWithError("no loopback connection");
                return;
            }
        }
        state.ResumeTiming();
        for (auto& server : servers)
            server->Close();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CloseConnections)
    ->Arg(1000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
} // namespace quillet

BENCHMARK_MAIN();
