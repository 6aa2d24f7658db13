// The system log. Each line is handed to a sink exactly as formatted; the default sink writes it
// to standard error (adding a line feed where the line has none). Tests install a capturing sink.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace lexor {

using LogSink = std::function<void(const std::string& line)>;

// Replaces the sink; an empty function restores the standard-error sink.
void setLogSink(LogSink sink);
// The same, returning the sink it replaces (empty for the standard-error sink), so that a caller
// can put it back.
LogSink exchangeLogSink(LogSink sink);

// printf-style. Where a logged format of the system has "%@" (a string), callers pass "%s" with
// the string's UTF-8 form.
void logFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logLine(const std::string& line);

// Installs itself for its lifetime and collects the lines; on destruction the sink it replaced is
// put back, so capturing sinks nest.
class CapturingLogSink {
 public:
  CapturingLogSink();
  ~CapturingLogSink();
  CapturingLogSink(const CapturingLogSink&) = delete;
  CapturingLogSink& operator=(const CapturingLogSink&) = delete;
  const std::vector<std::string>& lines() const { return _lines; }
  void clear() { _lines.clear(); }

 private:
  std::vector<std::string> _lines;
  LogSink _previous;
};

// A sink that drops everything (the CLI's --quiet).
void silenceLog();

}  // namespace lexor
