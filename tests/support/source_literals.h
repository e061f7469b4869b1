// The string literals of a C++ source, for the checks that every message a
// program can give is in its manual page.
#pragma once

#include <cctype>
#include <string>
#include <vector>

namespace camknob::testing {

inline bool isDigitSeparatorNeighbour(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Every string literal of a C++ source, comments and character literals
// skipped (a quote between two digits, as in 60'000, separates digits);
// escapes other than \" and \\ are kept as written.
inline std::vector<std::string> stringLiterals(const std::string& source) {
  std::vector<std::string> literals;
  for (std::size_t i = 0; i < source.size(); ++i) {
    if (source.compare(i, 2, "//") == 0) {
      i = source.find('\n', i);
      if (i == std::string::npos) break;
    } else if (source.compare(i, 2, "/*") == 0) {
      i = source.find("*/", i + 2);
      if (i == std::string::npos) break;
      ++i;
    } else if (source.compare(i, 2, "R\"") == 0) {
      const std::size_t open = source.find('(', i);
      const std::string close = std::string(")").append(source, i + 2, open - i - 2).append("\"");
      const std::size_t end = source.find(close, open);
      literals.push_back(source.substr(open + 1, end - open - 1));
      i = end + close.size() - 1;
    } else if (source[i] == '\'' && i > 0 && i + 1 < source.size() &&
               isDigitSeparatorNeighbour(source[i - 1]) &&
               isDigitSeparatorNeighbour(source[i + 1])) {
      continue;
    } else if (source[i] == '\'') {
      for (++i; i < source.size() && source[i] != '\''; ++i)
        if (source[i] == '\\') ++i;
    } else if (source[i] == '"') {
      std::string literal;
      for (++i; i < source.size() && source[i] != '"'; ++i) {
        if (source[i] == '\\' && (source[i + 1] == '"' || source[i + 1] == '\\')) ++i;
        literal += source[i];
      }
      literals.push_back(literal);
    }
  }
  return literals;
}

// Words to a reader: a blank and two letters in a row.
inline bool isProse(const std::string& literal) {
  bool twoLetters = false;
  for (std::size_t i = 1; i < literal.size(); ++i)
    twoLetters = twoLetters || (std::isalpha(static_cast<unsigned char>(literal[i - 1])) &&
                                std::isalpha(static_cast<unsigned char>(literal[i])));
  return twoLetters && literal.find(' ') != std::string::npos;
}

}  // namespace camknob::testing
