#pragma once

#include <map>
#include <optional>
#include <string>

namespace quillet::testing {

// Two network namespaces joined by a veth pair, each with a private system bus and its own
// discovery daemon confined to its end (tests/nearby/avahi-sandbox does the work): service
// discovery that never reaches this machine's own network. Needs root and the packages
// avahi-daemon, dbus and iproute2.
class TAvahiSandbox {
public:
    // The script and a folder of its own; nothing is set up yet.
    explicit TAvahiSandbox(std::string script);
    ~TAvahiSandbox();
    TAvahiSandbox(const TAvahiSandbox&) = delete;
    TAvahiSandbox& operator=(const TAvahiSandbox&) = delete;

    // Sets it up. Returns why it cannot be had here (a test then skips with that reason), or
    // nothing when both daemons run.
    std::optional<std::string> Up();

    // Side "a" or "b": its daemon stopped or started again (waits until it runs), or its
    // daemon and bus both. False when the script failed.
    bool Stop(const std::string& side);
    bool Start(const std::string& side);
    bool BusDown(const std::string& side);
    bool BusUp(const std::string& side);
    // Side "a" or "b": its daemon announces a service of the program's type under `name`, as the
    // daemons of a network announce their computers' standing services (from a file it watches;
    // `name` holds no XML markup). False when the file cannot be written.
    bool Publish(const std::string& side, const std::string& name, int port);

    // A_NETNS, A_BUS, A_ADDRESS and the same for B.
    const std::string& Value(const std::string& name) const;
    const std::string& Folder() const { return Root; }

private:
    // Runs the script's `command` on this sandbox (for `side`, if given); its exit status, and
    // what it printed.
    int Run(
        const std::string& command, const std::string& side, std::string* output = nullptr) const;

    std::string Script;
    std::string Root;
    bool IsUp = false;
    int Published = 0;
    std::map<std::string, std::string> Values;
};

} // namespace quillet::testing
