// Reading the tool's manual pages as text: the roff escapes and macros the
// pages use, their sections, tables and tagged paragraphs.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace camknob::testing {

inline std::string fileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

inline std::vector<std::string> linesOf(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::size_t stop = end == std::string_view::npos ? text.size() : end;
    lines.emplace_back(text.substr(start, stop - start));
    start = stop + 1;
  }
  return lines;
}

// The character a special-character name stands for; names the pages do not
// use come out as themselves in brackets, so that a check sees them.
inline std::string specialCharacter(std::string_view name) {
  if (name == "aq") return "'";
  if (name == "dq") return "\"";
  if (name == "mu") return "\xC3\x97";
  if (name == "bu") return "\xE2\x80\xA2";
  if (name == "em") return "\xE2\x80\x94";
  return std::string("[").append(name).append("]");
}

// A line of text with its escapes resolved and its font changes dropped.
inline std::string roffText(std::string_view line) {
  std::string text;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\\' || i + 1 == line.size()) {
      text += line[i];
      continue;
    }
    const char escape = line[++i];
    switch (escape) {
      case 'f':  // \fB, \f(CW, \f[CR]
        if (i + 1 < line.size() && line[i + 1] == '(') {
          i += 3;
        } else if (i + 1 < line.size() && line[i + 1] == '[') {
          i = line.find(']', i);
          if (i == std::string_view::npos) i = line.size();
        } else {
          ++i;
        }
        break;
      case '(':
        text += specialCharacter(line.substr(i + 1, 2));
        i += 2;
        break;
      case '[': {
        const std::size_t end = line.find(']', i);
        text += specialCharacter(line.substr(i + 1, end - i - 1));
        i = end == std::string_view::npos ? line.size() : end;
        break;
      }
      case '-':
        text += '-';
        break;
      case 'e':
      case '\\':
        text += '\\';
        break;
      case ' ':
      case '~':
        text += ' ';
        break;
      case '&':
      case '%':
      case '^':
      case '|':
      case 'c':
      case ':':
        break;
      default:
        text += '\\';
        text += escape;
    }
  }
  return text;
}

// The arguments of a macro line: quoted ones may hold blanks ("" is a quote).
inline std::vector<std::string> macroArguments(std::string_view line) {
  std::vector<std::string> arguments;
  std::size_t i = line.find_first_of(" \t");
  while (i != std::string_view::npos && i < line.size()) {
    i = line.find_first_not_of(" \t", i);
    if (i == std::string_view::npos) break;
    std::string argument;
    if (line[i] == '"') {
      for (++i; i < line.size(); ++i) {
        if (line[i] == '"' && i + 1 < line.size() && line[i + 1] == '"') {
          argument += '"';
          ++i;
        } else if (line[i] == '"') {
          ++i;
          break;
        } else {
          argument += line[i];
        }
      }
    } else {
      // A blank after a backslash belongs to the argument.
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
        if (line[i] == '\\' && i + 1 < line.size()) argument += line[i++];
        argument += line[i++];
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

// What a line shows: text lines as they are, font macros (.B, .BR, ...) as
// their arguments, every other request or macro as nothing.
inline std::string shownText(std::string_view line) {
  if (line.empty() || (line[0] != '.' && line[0] != '\'')) return roffText(line);
  const std::string_view name = line.substr(1, line.find_first_of(" \t") - 1);
  const std::vector<std::string> arguments = macroArguments(line);
  std::string text;
  if (name == "B" || name == "I" || name == "SM" || name == "SB") {
    for (const std::string& argument : arguments) text += (text.empty() ? "" : " ") + argument;
  } else if (name.size() == 2 && std::string_view("BIR").find(name[0]) != std::string_view::npos &&
             std::string_view("BIR").find(name[1]) != std::string_view::npos) {
    for (const std::string& argument : arguments) text += argument;  // alternating fonts
  } else {
    return {};
  }
  return roffText(text);
}

// The source lines of a section (.SH) or subsection (.SS) with this heading,
// up to the next heading of its level or above.
inline std::vector<std::string> sectionLines(const std::string& page, std::string_view heading) {
  std::vector<std::string> found;
  bool inside = false;
  std::string_view level;
  for (const std::string& line : linesOf(page)) {
    const bool isSection = line.rfind(".SH", 0) == 0;
    const bool isSubsection = line.rfind(".SS", 0) == 0;
    if (inside && (isSection || (isSubsection && level == ".SS"))) break;
    if (inside) found.push_back(line);
    if ((isSection || isSubsection) && !inside) {
      const std::vector<std::string> words = macroArguments(line);
      std::string title;
      for (const std::string& word : words) title += (title.empty() ? "" : " ") + word;
      if (roffText(title) == heading) {
        inside = true;
        level = isSection ? ".SH" : ".SS";
      }
    }
  }
  return found;
}

// All that the lines show, one line of text each, joined by blanks.
inline std::string shownText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    const std::string shown = shownText(line);
    if (shown.empty()) continue;
    if (!text.empty()) text += ' ';
    text += shown;
  }
  return text;
}

// The tags of the tagged paragraphs (.TP) among the lines.
inline std::vector<std::string> paragraphTags(const std::vector<std::string>& lines) {
  std::vector<std::string> tags;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i)
    if (lines[i].rfind(".TP", 0) == 0) tags.push_back(shownText(lines[i + 1]));
  return tags;
}

// The tables (.TS to .TE) among the lines: rows of cells as they show, the
// heading row first. Rule rows are left out; a text block (T{ to T}) is one
// cell; a row whose other cells continue the row above (\^) adds its first
// cell to that row's, after a blank.
using RoffTable = std::vector<std::vector<std::string>>;

inline std::vector<RoffTable> roffTables(const std::vector<std::string>& lines) {
  std::vector<RoffTable> tables;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] != ".TS") continue;
    RoffTable table;
    char separator = '\t';
    std::size_t row = i + 1;
    if (row < lines.size() && !lines[row].empty() && lines[row].back() == ';') {
      if (const auto at = lines[row].find("tab("); at != std::string::npos)
        separator = lines[row][at + 4];
      ++row;
    }
    while (row < lines.size() && (lines[row].empty() || lines[row].back() != '.')) ++row;
    for (++row; row < lines.size() && lines[row] != ".TE"; ++row) {
      if (lines[row] == "_" || lines[row] == "=" || lines[row].rfind(".", 0) == 0) continue;
      // The row's source, text blocks joined into it.
      std::string source = lines[row];
      while (source.size() >= 2 && source.compare(source.size() - 2, 2, "T{") == 0) {
        source.erase(source.size() - 2);
        std::string block;
        for (++row; row < lines.size() && lines[row].rfind("T}", 0) != 0; ++row)
          if (lines[row].rfind(".", 0) != 0) block += (block.empty() ? "" : " ") + lines[row];
        if (row == lines.size()) break;
        source += block + lines[row].substr(2);
      }
      std::vector<std::string> cells;
      std::vector<std::string> raw;
      std::size_t start = 0;
      for (;;) {
        const std::size_t end = source.find(separator, start);
        raw.push_back(source.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
      }
      bool continues = raw.size() > 1 && !table.empty();
      for (std::size_t cell = 1; cell < raw.size(); ++cell)
        continues = continues && raw[cell] == "\\^";
      if (continues) {
        table.back()[0].append(" ").append(roffText(raw[0]));
        continue;
      }
      for (const std::string& cell : raw) cells.push_back(roffText(cell));
      table.push_back(std::move(cells));
    }
    tables.push_back(std::move(table));
    i = row;
  }
  return tables;
}

// The table whose heading row is exactly this one; empty when there is none.
inline RoffTable tableHeaded(const std::vector<RoffTable>& tables,
                             const std::vector<std::string>& heading) {
  for (const RoffTable& table : tables)
    if (!table.empty() && table.front() == heading) return table;
  return {};
}

}  // namespace camknob::testing
