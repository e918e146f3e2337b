#include "net/socket_resolve.h"

#include "net/socket_errors.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <netdb.h>

namespace vistrel {

namespace {

bool LooksDotted(const std::string& host) {
    for (char c : host) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.') return false;
    }
    return true;
}

// Services the program names, for systems whose service table lacks them.
int WellKnownPort(const std::string& name) {
    if (name == "ftp") return 21;
    if (name == "ftp-data") return 20;
    if (name == "http") return 80;
    return -1;
}

} // namespace

std::string DottedAddress(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

std::string SocketResolveHost(const std::string& host, in_addr& address) {
    if (host.empty() || host.size() > 256) return "SocketResolveHost: '" + host + "' Invalid Hostname.";
    if (LooksDotted(host)) {
        if (inet_pton(AF_INET, host.c_str(), &address) != 1)
            return "SocketResolveHost: '" + host + "' Invalid IP address.";
        return {};
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    int rc = getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0 || result == nullptr) {
        int error = SocketErrorFromResolver(rc != 0 ? rc : EAI_NONAME, errno);
        return "SocketResolveHost: Cannot convert host address '" + host + "', Error #" +
               std::to_string(error);
    }
    address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr;
    freeaddrinfo(result);
    return {};
}

std::string SocketResolvePort(const std::string& port, const std::string& proto, uint16_t& number) {
    if (port.empty() || port.size() > 31) return "SocketResolvePort: Invalid Port.";
    if (proto.empty() || proto.size() > 31) return "SocketResolvePort: Invalid Proto.";
    if (std::isdigit(static_cast<unsigned char>(port[0]))) {
        unsigned value = 0;
        for (char c : port) {
            if (!std::isdigit(static_cast<unsigned char>(c))) break;
            value = (value * 10 + static_cast<unsigned>(c - '0')) & 0xFFFFu;
        }
        number = static_cast<uint16_t>(value);
        return {};
    }
    if (servent* entry = getservbyname(port.c_str(), proto.c_str())) {
        number = ntohs(static_cast<uint16_t>(entry->s_port));
        return {};
    }
    if (int known = WellKnownPort(port); known > 0) {
        number = static_cast<uint16_t>(known);
        return {};
    }
    return "SocketResolvePort: Cannot convert port '" + port + "', Error #" +
           std::to_string(wsa::InvalidArgument);
}

} // namespace vistrel
