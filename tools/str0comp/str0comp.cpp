// Compiles a readable string table source into a "STR0" table.
//
//   str0comp [--max-length N] SOURCE OUTPUT
//
// Source lines are "<id><TAB><text>"; "#" starts a comment line and blank
// lines are skipped. A line with an id and no text is an entry of length 0.
// Texts are printable ASCII; escapes: "\s" a blank (a blank that ends a text
// must be written so, so no editor can strip it unseen) and "\\" a backslash.
// Ids must be strictly ascending and below 2^31.
//
// Output (little-endian 32-bit): "STR0", count, count x (id, offset, length in
// UTF-16 units), then the texts as UTF-16LE in directory order, unterminated.
// The output is written to a temporary file and renamed, so a failed run
// leaves no partial table.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Entry {
  std::uint32_t id;
  std::string text;
};

struct Failure {
  std::string message;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) { throw Failure{where + ": " + what}; }

std::uint32_t ParseId(const std::string& digits, const std::string& where) {
  if (digits.empty() || digits.size() > 10) Fail(where, "bad id '" + digits + "'");
  std::uint64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') Fail(where, "bad id '" + digits + "'");
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 0x7FFFFFFFu) Fail(where, "id " + digits + " does not fit a signed 32-bit value");
  return static_cast<std::uint32_t>(value);
}

std::string Unescape(const std::string& raw, const std::string& where) {
  if (!raw.empty() && raw.back() == ' ') Fail(where, "text ends in a blank; write it as \\s");
  std::string text;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    auto c = static_cast<unsigned char>(raw[i]);
    if (c < 0x20 || c > 0x7E) Fail(where, "character " + std::to_string(c) + " is not printable ASCII");
    if (c != '\\') {
      text += static_cast<char>(c);
      continue;
    }
    if (++i == raw.size()) Fail(where, "lone backslash at end of text");
    if (raw[i] == 's')
      text += ' ';
    else if (raw[i] == '\\')
      text += '\\';
    else
      Fail(where, std::string("unknown escape \\") + raw[i]);
  }
  return text;
}

std::vector<Entry> ReadSource(const std::string& path, std::size_t maxLength) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(path, std::strerror(errno));
  std::vector<Entry> entries;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string where = path + ":" + std::to_string(number);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::size_t tab = line.find('\t');
    const std::uint32_t id = ParseId(line.substr(0, tab), where);
    std::string text = tab == std::string::npos ? std::string() : Unescape(line.substr(tab + 1), where);
    if (text.size() > maxLength)
      Fail(where, "text of " + std::to_string(text.size()) + " characters exceeds " + std::to_string(maxLength));
    if (!entries.empty() && id <= entries.back().id)
      Fail(where, "id " + std::to_string(id) + " does not follow " + std::to_string(entries.back().id));
    entries.push_back({id, std::move(text)});
  }
  if (in.bad()) Fail(path, "read error");
  return entries;
}

void PutDword(std::string& out, std::uint64_t value) {
  if (value > 0xFFFFFFFFu) throw Failure{"table larger than 4 GB"};
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string BuildTable(const std::vector<Entry>& entries) {
  std::string table = "STR0";
  PutDword(table, entries.size());
  std::uint64_t offset = 8 + 12 * static_cast<std::uint64_t>(entries.size());
  for (const Entry& e : entries) {
    PutDword(table, e.id);
    PutDword(table, offset);
    PutDword(table, e.text.size());
    offset += 2 * e.text.size();
  }
  // Texts are ASCII, so each UTF-16LE unit is the byte followed by zero.
  for (const Entry& e : entries)
    for (char c : e.text) {
      table += c;
      table += '\0';
    }
  return table;
}

void WriteAtomically(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::remove(temporary.c_str());
      Fail(path, "cannot write");
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    Fail(path, std::strerror(errno));
  }
}

int Usage() {
  std::cerr << "usage: str0comp [--max-length N] SOURCE OUTPUT\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::size_t maxLength = 0xFFFFFFFFu;
  if (args.size() == 4 && args[0] == "--max-length") {
    try {
      maxLength = std::stoul(args[1]);
    } catch (...) {
      return Usage();
    }
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() != 2) return Usage();
  try {
    WriteAtomically(args[1], BuildTable(ReadSource(args[0], maxLength)));
  } catch (const Failure& f) {
    std::cerr << "str0comp: " << f.message << "\n";
    return 1;
  }
  return 0;
}
