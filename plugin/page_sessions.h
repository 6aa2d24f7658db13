// The sessions of a host that serves many pages at once: each page gets its own LexorPeek object,
// built as a host builds one for a page, so that its dictionary choice, query and cursor belong to
// that page alone. A session is named by the secret token its page carries.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lexor {

class LexorPeek;

class PageSessions {
 public:
  using Clock = std::chrono::steady_clock;

  struct Limits {
    size_t maxSessions = 64;
    Clock::duration idleExpiry = std::chrono::minutes(30);  // an idle session ends after this
  };

  explicit PageSessions(Limits limits);
  PageSessions() : PageSessions(Limits{}) {}
  ~PageSessions();
  PageSessions(const PageSessions&) = delete;
  PageSessions& operator=(const PageSessions&) = delete;

  // Starts a session named by `token`, a fresh random secret the host made. When the table is
  // full, the session used least recently gives way: a page just served always gets one, and the
  // page that lost its session is told to reload, as after an expiry. False when the session's
  // plug-in object cannot be made.
  bool open(std::string token, Clock::time_point now);

  // The object of the session named by `token`, marked as used at `now`; nullptr when no live
  // session has that name. Every live token is compared in full, in time that does not depend on
  // where the tokens differ.
  LexorPeek* find(std::string_view token, Clock::time_point now) { return hold(token, now).get(); }
  // The same, keeping the session's object alive for as long as the caller holds it (a call
  // running on another thread while the table gives the session up).
  std::shared_ptr<LexorPeek> hold(std::string_view token, Clock::time_point now);

  // Ends the sessions idle for idleExpiry or longer, releasing their dictionaries.
  void expire(Clock::time_point now);

  size_t size() const { return _sessions.size(); }

 private:
  struct Session;
  std::vector<std::shared_ptr<Session>> _sessions;
  Limits _limits;
};

}  // namespace lexor
