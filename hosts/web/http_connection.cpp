#include "hosts/web/http_connection.h"

#include <algorithm>
#include <exception>

namespace lexor::web {
namespace {

bool allDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

void HttpConnection::startRequest() {
  parser_.emplace();
  parser_->header_limit(static_cast<std::uint32_t>(kMaxRequestHead));
  parser_->body_limit(kMaxRequestBody);
  parser_->eager(false);  // stop after the head, so that it is checked before the body is read
  headChecked_ = false;
  headBytes_ = 0;
}

std::optional<HttpResponse> HttpConnection::checkHead() {
  const HttpRequest& head = parser_->get();
  if (head.count(http::field::transfer_encoding) > 0) {
    return handler_.refusal(http::status::length_required, "a body must state its length");
  }
  const size_t lengths = head.count(http::field::content_length);
  if (lengths > 1 || (lengths == 1 && !allDigits(view(head[http::field::content_length])))) {
    return handler_.refusal(http::status::bad_request, "Content-Length must be one number");
  }
  if (lengths == 0 && head.method() == http::verb::post) {
    return handler_.refusal(http::status::length_required, "a POST must state its length");
  }
  return std::nullopt;
}

void HttpConnection::append(HttpResponse response, bool keepAlive, std::string& out) {
  response.keep_alive(keepAlive);
  response.prepare_payload();
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

bool HttpConnection::received(std::string_view bytes, std::string& out) {
  pending_.append(bytes);
  while (!pending_.empty()) {
    if (!parser_) startRequest();
    boost::beast::error_code ec;
    const bool inHead = !parser_->is_header_done();
    const size_t used = parser_->put(boost::asio::buffer(pending_.data(), pending_.size()), ec);
    pending_.erase(0, used);
    // The parser's own limit holds for each call alone, as it takes the head line by line as the
    // lines come: the head's size is counted here, what it took plus what waits.
    if (inHead) {
      headBytes_ += used;
      const size_t waiting = parser_->is_header_done() ? 0 : pending_.size();
      if ((!ec || ec == http::error::need_more) && headBytes_ + waiting > kMaxRequestHead) {
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
      append(handler_.refusal(status, why), false, out);
      parser_.reset();
      pending_.clear();
      return false;
    }
    if (parser_->is_header_done() && !headChecked_) {
      headChecked_ = true;
      if (std::optional<HttpResponse> refusal = checkHead()) {
        append(std::move(*refusal), false, out);
        parser_.reset();
        pending_.clear();
        return false;
      }
    }
    if (!parser_->is_done()) {
      if (used == 0) break;
      continue;
    }
    const HttpRequest request = parser_->release();
    parser_.reset();
    const bool keepAlive = request.keep_alive();
    HttpResponse response;
    try {
      response = handler_.answer(request);
    } catch (const std::exception&) {
      response = handler_.refusal(http::status::internal_server_error, "internal error");
    }
    append(std::move(response), keepAlive, out);
    if (!keepAlive) {
      pending_.clear();
      return false;
    }
  }
  return true;
}

}  // namespace lexor::web
