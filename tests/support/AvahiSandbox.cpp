#include "support/AvahiSandbox.h"

#include "nearby/NearbyService.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillet::testing {
namespace {

bool OnPath(const std::string& tool)
{
    for (const char* folder : { "/usr/sbin", "/usr/bin", "/sbin", "/bin" }) {
        if (::access((std::string(folder) + "/" + tool).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

// The daemons this process took over (their starter ended) and that have ended since: waited for
// here, by pid, so that no other child of the test (a program copy it runs) is touched.
void ReapEndedDaemons()
{
    const std::string self = std::to_string(::getpid());
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        // "pid (comm) state ppid ..."; comm may hold blanks, so the fields after its ")" count.
        const auto close = line.rfind(')');
        const auto open = line.find('(');
        if (close == std::string::npos || open == std::string::npos)
            continue;
        const std::string comm = line.substr(open + 1, close - open - 1);
        std::istringstream rest(line.substr(close + 1));
        std::string state;
        std::string parent;
        rest >> state >> parent;
        if (state == "Z" && parent == self && (comm == "avahi-daemon" || comm == "dbus-daemon"))
            ::waitpid(std::stoi(line.substr(0, open)), nullptr, WNOHANG);
    }
}

} // namespace

TAvahiSandbox::TAvahiSandbox(std::string script)
    : Script(std::move(script))
{
    std::string pattern
        = (std::filesystem::temp_directory_path() / "quillet-nearby-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr)
        Root = pattern;
}

TAvahiSandbox::~TAvahiSandbox()
{
    if (IsUp) {
        Run("down", {});
        ReapEndedDaemons();
    }
    if (!Root.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(Root, ignored);
    }
}

std::optional<std::string> TAvahiSandbox::Up()
{
    if (::geteuid() != 0)
        return "needs root, to make network namespaces and start discovery daemons in them";
    for (const char* tool : { "ip", "avahi-daemon", "dbus-daemon", "dbus-send", "unshare" }) {
        if (!OnPath(tool))
            return std::string("needs ") + tool + " (scripts/install-deps installs it)";
    }
    if (Root.empty())
        return "no scratch folder";
    // The daemons outlive the script that starts them; this process takes them over, so that it
    // can wait for them once they end (not every system's first process does).
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    std::string output;
    IsUp = true; // a failed "up" is taken down as far as it came
    if (Run("up", {}, &output) != 0)
        return "the sandbox could not be set up here: " + output;
    std::ifstream env(Root + "/env");
    for (std::string line; std::getline(env, line);) {
        const auto equals = line.find('=');
        if (equals != std::string::npos)
            Values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return std::nullopt;
}

bool TAvahiSandbox::Stop(const std::string& side)
{
    return Run("stop", side) == 0;
}

bool TAvahiSandbox::Start(const std::string& side)
{
    return Run("start", side) == 0;
}

bool TAvahiSandbox::BusDown(const std::string& side)
{
    return Run("bus-down", side) == 0;
}

bool TAvahiSandbox::BusUp(const std::string& side)
{
    return Run("bus-up", side) == 0;
}

bool TAvahiSandbox::Publish(const std::string& side, const std::string& name, int port)
{
    std::ofstream file(Root + "/" + side + "/services/" + std::to_string(++Published) + ".service");
    file << "<?xml version=\"1.0\"?>\n<service-group>\n  <name>" << name
         << "</name>\n  <service>\n    <type>" << NearbyServiceType << "</type>\n    <port>" << port
         << "</port>\n    <txt-record>" << NearbyTxtRecord
         << "</txt-record>\n  </service>\n</service-group>\n";
    return static_cast<bool>(file.flush());
}

const std::string& TAvahiSandbox::Value(const std::string& name) const
{
    static const std::string none;
    const auto found = Values.find(name);
    return found == Values.end() ? none : found->second;
}

int TAvahiSandbox::Run(
    const std::string& command, const std::string& side, std::string* output) const
{
    // The folder comes from mkdtemp and the side is "a" or "b": nothing here needs quoting.
    const std::string line
        = Script + " " + command + " " + Root + (side.empty() ? "" : " " + side) + " 2>&1";
    FILE* pipe = ::popen(line.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    std::string text;
    std::array<char, 512> buffer {};
    while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), pipe) != nullptr)
        text += buffer.data();
    const int status = ::pclose(pipe);
    ReapEndedDaemons();
    if (output != nullptr)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace quillet::testing
