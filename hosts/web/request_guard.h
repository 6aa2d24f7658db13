// The checks every request of the web host passes before it reaches a handler. A local server
// that any page in the user's browser can reach is an attack surface: a foreign page may send it
// requests (cross-site request forgery) or point a host name of its own at 127.0.0.1 (DNS
// rebinding). Only the page this server served itself knows its token, and only
// requests that name this server as their host and origin are answered.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lexor::web {

// The header that carries the page's token, and so names its session, on every script call.
inline constexpr std::string_view kTokenHeader = "X-LexorPeek-Token";

// A fresh random token of 128 bits or more from the kernel's generator, as lower-case hex;
// std::nullopt when no random bytes could be read (the server then refuses to start).
std::optional<std::string> makeToken();

// The Host header names this server: 127.0.0.1:PORT or localhost:PORT (the name in any case).
bool isOwnHost(std::string_view hostHeader, uint16_t port);

// The Origin header, when a browser sends one, is this server's own: http://127.0.0.1:PORT or
// http://localhost:PORT.
bool isOwnOrigin(std::string_view originHeader, uint16_t port);

}  // namespace lexor::web
