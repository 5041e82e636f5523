#include "support/LoopbackNet.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace korva::test {

namespace {

bool writeFile(const std::string& path, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

bool bringLoopbackUp() {
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    ifreq request{};
    std::snprintf(request.ifr_name, sizeof request.ifr_name, "lo");
    bool ok = ::ioctl(s, SIOCGIFFLAGS, &request) == 0;
    if (ok) {
        request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
        ok = ::ioctl(s, SIOCSIFFLAGS, &request) == 0;
    }
    ::close(s);
    return ok;
}

bool makeNamespace() {
    if (::unshare(CLONE_NEWNET) == 0)
        return bringLoopbackUp();
    // Without privilege: a user namespace of our own maps us to root inside it.
    uid_t uid = ::getuid();
    gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        return false;
    writeFile("/proc/self/setgroups", "deny");
    if (!writeFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !writeFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
        return false;
    return bringLoopbackUp();
}

} // namespace

bool enterLoopbackNamespace() {
    static const bool entered = makeNamespace();
    return entered;
}

bool isLoopbackAddress(const std::string& address) {
    // Read as the program reads its address options, so every form it accepts is judged.
    Ip4 a{};
    return parseDotted(address, a) && a[0] == 127;
}

bool guardLoopback(const NetLinkOptions& options) {
    for (const std::string& to : broadcastDestinations(options, localInterfaces())) {
        if (!isLoopbackAddress(to)) {
            ADD_FAILURE() << "a test tried to send to " << to << ", outside 127.0.0.0/8";
            return false;
        }
    }
    return true;
}

bool guardLoopbackArgs(const std::vector<std::string>& args) {
    NetLinkOptions options;
    options.broadcast.clear();
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--broadcast" && i + 1 < args.size())
            options.broadcast = args[i + 1];
        else if (args[i] == "--all-interfaces")
            options.allInterfaces = true;
    }
    if (options.broadcast.empty()) {
        ADD_FAILURE() << "a test ran korvactl net without --broadcast (the default destination "
                         "lies outside 127.0.0.0/8)";
        return false;
    }
    return guardLoopback(options);
}

} // namespace korva::test
