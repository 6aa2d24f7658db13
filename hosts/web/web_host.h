// What the web host answers, request by request, once the connection layer has a whole request
// within its limits: the widget's fixed files, a new session for each page served, and the script
// calls of each page to its own session. Every answer carries the same defensive headers.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "hosts/web/http_connection.h"
#include "hosts/web/request_guard.h"
#include "hosts/web/widget_files.h"
#include "plugin/page_sessions.h"

namespace lexor::web {

// What one script request (a call or a whole batch) may take on its worker: past either, the
// calls not yet run answer "request too large" (plugin/script_dispatcher.h).
inline constexpr std::chrono::milliseconds kScriptRequestTime{2000};
inline constexpr size_t kMaxScriptAnswerBytes = 16 << 20;

struct CallBudget {
  std::chrono::milliseconds time = kScriptRequestTime;
  size_t maxAnswerBytes = kMaxScriptAnswerBytes;
};

class WebHost : public HttpHandler {
 public:
  WebHost(WidgetFiles files, PageSessions::Limits sessionLimits, CallBudget budget = {})
      : _files(std::move(files)), _sessions(sessionLimits), _budget(budget) {}

  void setPort(uint16_t port) { _port = port; }
  PageSessions& sessions() { return _sessions; }

  HttpAnswer answer(const HttpRequest& request) override;
  HttpResponse refusal(http::status status, std::string_view why) override;

 private:
  HttpResponse servePage(const HttpRequest& request, const WidgetFile& page);
  HttpAnswer answerScriptCall(const HttpRequest& request);
  HttpResponse respond(http::status status, std::string body, std::string_view contentType) const;

  const WidgetFiles _files;
  PageSessions _sessions;
  const CallBudget _budget;
  uint16_t _port = 0;
};

}  // namespace lexor::web
