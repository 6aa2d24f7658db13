#include "hosts/web/http_connection.h"

#include <algorithm>
#include <exception>

namespace lexor::web {
namespace {

// Fields a request may carry once at most (the names compare in any case).
constexpr std::string_view kSingleFields[] = {"Host", "Content-Type", "Sec-Fetch-Site",
                                              "X-LexorPeek-Token"};

bool allDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

void HttpConnection::startRequest() {
  _parser.emplace();
  _parser->header_limit(static_cast<std::uint32_t>(kMaxRequestHead));
  _parser->body_limit(kMaxRequestBody);
  _parser->eager(false);  // stop after the head, so that it is checked before the body is read
  _headChecked = false;
  _headBytes = 0;
}

std::optional<HttpResponse> HttpConnection::checkHead() {
  const HttpRequest& head = _parser->get();
  // A field the host decides by must say one thing: with two, one reader might take the first
  // and another the second.
  for (const std::string_view name : kSingleFields) {
    if (head.count(boost::beast::string_view(name.data(), name.size())) > 1) {
      return _handler.refusal(http::status::bad_request,
                              "more than one " + std::string(name) + " field");
    }
  }
  if (head.count(http::field::transfer_encoding) > 0) {
    return _handler.refusal(http::status::length_required, "a body must state its length");
  }
  const size_t lengths = head.count(http::field::content_length);
  if (lengths > 1 || (lengths == 1 && !allDigits(view(head[http::field::content_length])))) {
    return _handler.refusal(http::status::bad_request, "Content-Length must be one number");
  }
  if (lengths == 0 && head.method() == http::verb::post) {
    return _handler.refusal(http::status::length_required, "a POST must state its length");
  }
  return std::nullopt;
}

void HttpConnection::append(HttpResponse response, const HttpRequest& request, bool keepAlive,
                            std::string& out) {
  response.keep_alive(keepAlive);
  // The answer is HTTP/1.1, where keeping the connection goes without saying; a 1.0 client must
  // be told.
  if (keepAlive && request.version() < 11) response.set(http::field::connection, "keep-alive");
  response.prepare_payload();
  constexpr size_t kRoomForHead = 1024;  // status line and fields, so that the body is copied once
  out.reserve(out.size() + kRoomForHead + response.body().size());
  out += "HTTP/1.1 ";
  out += std::to_string(response.result_int());
  out += ' ';
  out += view(response.reason());
  out += "\r\n";
  for (const auto& field : response) {
    out += view(field.name_string());
    out += ": ";
    out += view(field.value());
    out += "\r\n";
  }
  out += "\r\n";
  out += response.body();
}

net::Step HttpConnection::received(std::string_view bytes, std::string& out) {
  _pending.append(bytes);
  while (!_pending.empty()) {
    if (!_parser) startRequest();
    boost::beast::error_code ec;
    const bool inHead = !_parser->is_header_done();
    const size_t used = _parser->put(boost::asio::buffer(_pending.data(), _pending.size()), ec);
    _pending.erase(0, used);
    // The parser's own limit holds for each call alone, as it takes the head line by line as the
    // lines come: the head's size is counted here, what it took plus what waits.
    if (inHead) {
      _headBytes += used;
      const size_t waiting = _parser->is_header_done() ? 0 : _pending.size();
      if ((!ec || ec == http::error::need_more) && _headBytes + waiting > kMaxRequestHead) {
        ec = http::error::header_limit;
      }
    }
    if (ec == http::error::need_more) break;
    if (ec) {
      http::status status = http::status::bad_request;
      std::string_view why = "malformed request";
      if (ec == http::error::header_limit) {
        status = http::status::request_header_fields_too_large;
        why = "request head over 16 KiB";
      } else if (ec == http::error::body_limit) {
        status = http::status::payload_too_large;
        why = "request body over 64 KiB";
      } else if (ec == http::error::bad_transfer_encoding) {
        status = http::status::length_required;
        why = "a body must state its length";
      }
      append(_handler.refusal(status, why), _parser->get(), false, out);
      _parser.reset();
      _pending.clear();
      return net::Step{.keepOpen = false};
    }
    if (_parser->is_header_done() && !_headChecked) {
      _headChecked = true;
      if (std::optional<HttpResponse> refusal = checkHead()) {
        append(std::move(*refusal), _parser->get(), false, out);
        _parser.reset();
        _pending.clear();
        return net::Step{.keepOpen = false};
      }
    }
    if (!_parser->is_done()) {
      if (used == 0) break;
      continue;
    }
    auto request = std::make_shared<HttpRequest>(_parser->release());
    _parser.reset();
    const bool keepAlive = request->keep_alive();
    if (!keepAlive) _pending.clear();
    HttpAnswer answer;
    try {
      answer = _handler.answer(*request);
    } catch (const std::exception&) {
      answer = _handler.refusal(http::status::internal_server_error, "internal error");
    }
    if (auto* deferred = std::get_if<DeferredResponse>(&answer)) {
      HttpHandler& handler = _handler;
      return net::Step{
          .work = net::Work{.lane = deferred->lane,
                            .run = [&handler, request, keepAlive, run = std::move(deferred->run)](
                                       std::string& answerOut, std::stop_token stop) {
                              HttpResponse response;
                              try {
                                response = run(stop);
                              } catch (const std::exception&) {
                                response = handler.refusal(http::status::internal_server_error,
                                                           "internal error");
                              }
                              append(std::move(response), *request, keepAlive, answerOut);
                              return keepAlive;
                            }}};
    }
    append(std::move(std::get<HttpResponse>(answer)), *request, keepAlive, out);
    if (!keepAlive) return net::Step{.keepOpen = false};
  }
  return {};
}

}  // namespace lexor::web
