// A strict JSON reader (RFC 8259) for the files the tool reads (simulator
// fixtures, camera profiles): it hands every value to a handler as it meets it
// and builds no tree, so that a fixture of a thousand cameras loads in a
// fraction of the time and memory a document tree needs.
// The handler has the member functions of nlohmann/json's SAX interface
// (null, boolean, number_integer, number_unsigned, number_float, string,
// start_object, key, end_object, start_array, end_array); a false from any
// of them stops the reading.
#pragma once

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "json/json_text.h"

namespace camknob {

struct JsonFault {
  std::size_t offset;  // of the byte where reading stopped
  std::string what;
};

namespace json_reading {

// The text "line L, column C" of a byte offset, both counted from 1.
inline std::string placeOf(std::string_view text, std::size_t offset) {
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

inline int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

inline void appendUtf8(std::string& out, std::uint32_t point) {
  if (point < 0x80) {
    out.push_back(char(point));
  } else if (point < 0x800) {
    out.push_back(char(0xC0 | (point >> 6)));
    out.push_back(char(0x80 | (point & 0x3F)));
  } else if (point < 0x10000) {
    out.push_back(char(0xE0 | (point >> 12)));
    out.push_back(char(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(char(0x80 | (point & 0x3F)));
  } else {
    out.push_back(char(0xF0 | (point >> 18)));
    out.push_back(char(0x80 | ((point >> 12) & 0x3F)));
    out.push_back(char(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(char(0x80 | (point & 0x3F)));
  }
}

template <typename Handler>
class Reader {
 public:
  Reader(std::string_view text, Handler& handler) : text_(text), handler_(handler) {}

  std::optional<JsonFault> read() {
    // A byte order mark before the text is no part of it.
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") at_ = 3;
    std::vector<char> open;  // '{' or '[' for every container not yet closed
    for (;;) {
      // A value.
      skipSpace();
      if (at_ == text_.size()) return fault("unexpected end of input; expected a value");
      const char c = text_[at_];
      if (c == '{' || c == '[') {
        ++at_;
        if (!(c == '{' ? handler_.start_object(std::size_t(-1))
                       : handler_.start_array(std::size_t(-1))))
          return stopped();
        skipSpace();
        const char close = c == '{' ? '}' : ']';
        if (at_ < text_.size() && text_[at_] == close) {
          ++at_;
          if (!(c == '{' ? handler_.end_object() : handler_.end_array())) return stopped();
        } else {
          open.push_back(c);
          if (c == '{' && !key()) return fault_;
          continue;
        }
      } else if (!scalar()) {
        return fault_;
      }
      // What follows a value: the end of the text, a comma or a closing.
      for (;;) {
        skipSpace();
        if (open.empty()) {
          if (at_ != text_.size()) return fault("unexpected text after the value");
          return std::nullopt;
        }
        if (at_ == text_.size()) return fault("unexpected end of input; expected ',' or a closing");
        const char next = text_[at_];
        if (next == ',') {
          ++at_;
          if (open.back() == '{' && !key()) return fault_;
          break;
        }
        if (next != (open.back() == '{' ? '}' : ']'))
          return fault(open.back() == '{' ? "expected ',' or '}'" : "expected ',' or ']'");
        ++at_;
        const bool kept = open.back() == '{' ? handler_.end_object() : handler_.end_array();
        open.pop_back();
        if (!kept) return stopped();
      }
    }
  }

 private:
  std::optional<JsonFault> fault(std::string what) {
    fault_ = JsonFault{at_, std::move(what)};
    return fault_;
  }
  std::optional<JsonFault> stopped() { return fault("stopped by the reader"); }
  bool failWith(std::string what) {
    fault(std::move(what));
    return false;
  }

  void skipSpace() {
    while (at_ < text_.size()) {
      const char c = text_[at_];
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return;
      ++at_;
    }
  }

  // A key, its colon, and no more: the value comes next.
  bool key() {
    skipSpace();
    if (at_ == text_.size() || text_[at_] != '"') return failWith("expected a string as a key");
    if (!string()) return false;
    if (!handler_.key(buffer_)) return failWith("stopped by the reader");
    skipSpace();
    if (at_ == text_.size() || text_[at_] != ':') return failWith("expected ':' after a key");
    ++at_;
    return true;
  }

  bool scalar() {
    const char c = text_[at_];
    if (c == '"') {
      if (!string()) return false;
      return handler_.string(buffer_) || failWith("stopped by the reader");
    }
    if (c == '-' || (c >= '0' && c <= '9')) return number();
    for (const std::string_view word : {"true", "false", "null"}) {
      if (text_.substr(at_, word.size()) != word) continue;
      at_ += word.size();
      const bool kept = word == "null" ? handler_.null() : handler_.boolean(word == "true");
      return kept || failWith("stopped by the reader");
    }
    return failWith("invalid literal");
  }

  // The string at the quote, unescaped, into buffer_.
  bool string() {
    buffer_.clear();
    ++at_;
    for (;;) {
      const std::size_t start = at_;
      while (at_ < text_.size()) {
        const auto byte = static_cast<unsigned char>(text_[at_]);
        if (byte == '"' || byte == '\\' || byte < 0x20 || byte >= 0x80) break;
        ++at_;
      }
      buffer_.append(text_.data() + start, at_ - start);
      if (at_ == text_.size()) return failWith("unexpected end of input in a string");
      const auto byte = static_cast<unsigned char>(text_[at_]);
      if (byte == '"') {
        ++at_;
        return true;
      }
      if (byte < 0x20) return failWith("control character in a string: it must be escaped");
      if (byte >= 0x80) {
        const std::size_t length = utf8SequenceLength(text_.substr(at_));
        if (length == 0) return failWith("ill-formed UTF-8 in a string");
        buffer_.append(text_.data() + at_, length);
        at_ += length;
        continue;
      }
      if (!escape()) return false;
    }
  }

  bool escape() {
    if (at_ + 1 >= text_.size()) return failWith("unexpected end of input in a string");
    const char kind = text_[at_ + 1];
    at_ += 2;
    switch (kind) {
      case '"':
      case '\\':
      case '/':
        buffer_.push_back(kind);
        return true;
      case 'b':
        buffer_.push_back('\b');
        return true;
      case 'f':
        buffer_.push_back('\f');
        return true;
      case 'n':
        buffer_.push_back('\n');
        return true;
      case 'r':
        buffer_.push_back('\r');
        return true;
      case 't':
        buffer_.push_back('\t');
        return true;
      case 'u':
        break;
      default:
        at_ -= 1;
        return failWith("invalid escape in a string");
    }
    auto point = codeUnit();
    if (!point) return false;
    if (*point >= 0xDC00 && *point <= 0xDFFF)
      return failWith("a low surrogate must follow a high one");
    if (*point >= 0xD800 && *point <= 0xDBFF) {
      if (text_.substr(at_, 2) != "\\u")
        return failWith("a high surrogate must be followed by a low one");
      at_ += 2;
      const auto low = codeUnit();
      if (!low) return false;
      if (*low < 0xDC00 || *low > 0xDFFF)
        return failWith("a high surrogate must be followed by a low one");
      point = 0x10000 + ((*point - 0xD800) << 10) + (*low - 0xDC00);
    }
    appendUtf8(buffer_, *point);
    return true;
  }

  std::optional<std::uint32_t> codeUnit() {
    if (text_.size() - at_ < 4) {
      failWith("unexpected end of input in a \\u escape");
      return std::nullopt;
    }
    std::uint32_t point = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = hexDigit(text_[at_ + i]);
      if (digit < 0) {
        failWith("expected four hexadecimal digits after \\u");
        return std::nullopt;
      }
      point = point * 16 + std::uint32_t(digit);
    }
    at_ += 4;
    return point;
  }

  bool number() {
    const std::size_t start = at_;
    const auto digits = [&] {
      const std::size_t from = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      return at_ - from;
    };
    const bool negative = text_[at_] == '-';
    if (negative) ++at_;
    const std::size_t whole = at_;
    const std::size_t wholeDigits = digits();
    if (wholeDigits == 0) return failWith("invalid number: expected a digit");
    if (text_[whole] == '0' && wholeDigits > 1) return failWith("invalid number: leading zero");
    bool integral = true;
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      integral = false;
      if (digits() == 0) return failWith("invalid number: expected a digit after '.'");
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      integral = false;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (digits() == 0) return failWith("invalid number: expected a digit in the exponent");
    }
    const std::string_view token = text_.substr(start, at_ - start);
    if (integral) {
      std::uint64_t magnitude = 0;
      const auto [end, error] = std::from_chars(token.data() + (negative ? 1 : 0),
                                                token.data() + token.size(), magnitude);
      (void)end;
      if (error == std::errc() && !negative)
        return handler_.number_unsigned(magnitude) || failWith("stopped by the reader");
      if (error == std::errc() && magnitude <= std::uint64_t(1) << 63) {
        const auto value =
            magnitude == std::uint64_t(1) << 63 ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
        return handler_.number_integer(value) || failWith("stopped by the reader");
      }
      // Too large for a 64-bit integer: read as a double, as JSON allows.
    }
    const double value = doubleOf(token);
    if (!std::isfinite(value)) {
      at_ = start;
      return failWith("number overflow: " + std::string(token.substr(0, 40)) +
                      (token.size() > 40 ? "..." : "") + " is beyond the double range");
    }
    buffer_.assign(token);  // the number as written, as the handler's second argument
    return handler_.number_float(value, buffer_) || failWith("stopped by the reader");
  }

  // The nearest double of a JSON number; infinite beyond the double range.
  static double doubleOf(std::string_view token) {
#if !defined(_LIBCPP_VERSION)
    double value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    (void)end;
    if (error != std::errc::result_out_of_range) return value;
      // Beyond the double range, or so close to zero that it reads as zero:
      // strtod tells which.
#endif
    // libc++ (Apple's) has no floating-point from_chars; strtod reads the
    // same text in the "C" locale, which the tool never leaves.
    const std::string copy(token);
    return std::strtod(copy.c_str(), nullptr);
  }

  std::string_view text_;
  Handler& handler_;
  std::size_t at_ = 0;
  std::string buffer_;
  std::optional<JsonFault> fault_;
};

}  // namespace json_reading

// Reads the whole text, which must be exactly one JSON value (whitespace
// around it allowed), handing each value to the handler; the fault, with its
// place, when the text is not JSON or the handler stopped the reading.
template <typename Handler>
std::optional<JsonFault> readJson(std::string_view text, Handler& handler) {
  return json_reading::Reader<Handler>(text, handler).read();
}

// "parse error at line L, column C: WHAT" for a fault in the text.
inline std::string jsonFaultText(std::string_view text, const JsonFault& fault) {
  return "parse error at " + json_reading::placeOf(text, fault.offset) + ": " + fault.what;
}

}  // namespace camknob
