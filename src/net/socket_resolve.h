#pragma once
#include <netinet/in.h>
#include <string>

namespace vistrel {

// Name and port resolution inside Connect and Listen. Each returns an empty text on success and
// the message of the failure otherwise; the caller prefixes and reports it.
std::string SocketResolveHost(const std::string& host, in_addr& address);
std::string SocketResolvePort(const std::string& port, const std::string& proto, uint16_t& number);

// "a.b.c.d" of an IPv4 socket address.
std::string DottedAddress(const in_addr& address);

} // namespace vistrel
