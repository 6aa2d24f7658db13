#include "platform/log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <utility>

namespace lexor {

namespace {

// Recursive so that a sink which itself logs cannot dead-lock.
std::recursive_mutex& sinkMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

// Empty means standard error.
LogSink& currentSink() {
  static LogSink sink;
  return sink;
}

void writeToStandardError(const std::string& line) {
  std::string text = line;
  if (text.empty() || text.back() != '\n') text.push_back('\n');
  // One write per line keeps lines from different threads whole.
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

LogSink exchangeLogSink(LogSink sink) {
  std::lock_guard<std::recursive_mutex> lock(sinkMutex());
  return std::exchange(currentSink(), std::move(sink));
}

void setLogSink(LogSink sink) { exchangeLogSink(std::move(sink)); }

void logLine(const std::string& line) {
  std::lock_guard<std::recursive_mutex> lock(sinkMutex());
  const LogSink& sink = currentSink();
  if (sink) {
    sink(line);
  } else {
    writeToStandardError(line);
  }
}

void logFormat(const char* format, ...) {
  if (format == nullptr) return;
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length < 0) {
    va_end(args);
    return;
  }
  std::string line(static_cast<size_t>(length), '\0');
  // vsnprintf writes the terminating NUL too; std::string keeps room for it past size().
  std::vsnprintf(line.data(), line.size() + 1, format, args);
  va_end(args);
  logLine(line);
}

CapturingLogSink::CapturingLogSink()
    : _previous(exchangeLogSink([this](const std::string& line) { _lines.push_back(line); })) {}

CapturingLogSink::~CapturingLogSink() { setLogSink(std::move(_previous)); }

void silenceLog() {
  setLogSink([](const std::string&) {});
}

}  // namespace lexor
