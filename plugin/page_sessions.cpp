#include "plugin/page_sessions.h"

#include <algorithm>
#include <map>

#include "platform/script_value.h"
#include "plugin/lexor_peek.h"

namespace lexor {
namespace {

// What the plug-in object registers itself on: the page's window, as the host gives it.
class SessionWindow : public WindowScriptObject {
 public:
  void setValue(ScriptObject* value, const UString& key) override { _values[key] = value; }
  ScriptObject* valueForKey(const UString& key) const {
    auto it = _values.find(key);
    return it == _values.end() ? nullptr : it->second;
  }

 private:
  std::map<UString, ScriptObject*> _values;
};

class SessionView : public WebView {};

bool constantTimeEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char difference = 0;
  for (size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

}  // namespace

struct PageSessions::Session {
  std::string token;
  SessionView view;  // declared before the object, which keeps a reference to it
  SessionWindow window;
  std::shared_ptr<LexorPeek> peek;
  LexorPeek* registered = nullptr;  // the object under the name the page calls it by
  Clock::time_point lastUsed;
};

PageSessions::PageSessions(Limits limits) : _limits(limits) {}
PageSessions::~PageSessions() = default;

bool PageSessions::open(std::string token, Clock::time_point now) {
  expire(now);
  if (!_sessions.empty() && _sessions.size() >= _limits.maxSessions) {
    _sessions.erase(
        std::min_element(_sessions.begin(), _sessions.end(),
                         [](const auto& a, const auto& b) { return a->lastUsed < b->lastUsed; }));
  }
  auto session = std::make_shared<Session>();
  session->token = std::move(token);
  session->peek = LexorPeek::initWithWebView(&session->view);
  if (!session->peek) return false;
  session->peek->windowScriptObjectAvailable(&session->window);
  session->registered = dynamic_cast<LexorPeek*>(session->window.valueForKey(u"LexorPeek"));
  if (!session->registered) return false;
  session->lastUsed = now;
  _sessions.push_back(std::move(session));
  return true;
}

std::shared_ptr<LexorPeek> PageSessions::hold(std::string_view token, Clock::time_point now) {
  expire(now);
  std::shared_ptr<Session> found;
  for (const auto& session : _sessions) {
    if (constantTimeEquals(session->token, token)) found = session;
  }
  if (!found) return nullptr;
  found->lastUsed = now;
  LexorPeek* registered = found->registered;
  return std::shared_ptr<LexorPeek>(std::move(found), registered);  // owns the whole session
}

void PageSessions::expire(Clock::time_point now) {
  std::erase_if(_sessions,
                [&](const auto& session) { return now - session->lastUsed >= _limits.idleExpiry; });
}

}  // namespace lexor
