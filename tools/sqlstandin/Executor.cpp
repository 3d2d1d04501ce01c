#include "Executor.h"

#include <filesystem>
#include <system_error>

#include "SqlTranslate.h"
#include "SqliteSession.h"

namespace sqlstandin {

namespace fs = std::filesystem;

namespace {

Message syntaxError(const SqlToken& near) { return {102, 1, 15, "Incorrect syntax near '" + near.text + "'."}; }

Message fileNotFound(const std::string& path) {
  return {5120, 101, 16,
          "Unable to open the physical file \"" + path +
              "\". Operating system error 2: \"2(The system cannot find the file specified.)\"."};
}

bool isProcedureName(const SqlToken& t) { return t.kind == TokenKind::Word && lowerAscii(t.text).rfind("sp_", 0) == 0; }

bool isSymbol(const SqlToken& t, const char* symbol) { return t.kind == TokenKind::Symbol && t.text == symbol; }

// The positional arguments of EXEC name a, 'b', "c": a value is a name, a
// string or a number, separated by commas.
std::optional<std::vector<SqlToken>> arguments(const Statement& s, size_t from) {
  std::vector<SqlToken> args;
  for (size_t i = from; i < s.size(); ++i) {
    if (s[i].kind == TokenKind::Symbol || s[i].kind == TokenKind::Variable) {
      return std::nullopt;
    }
    args.push_back(s[i]);
    if (i + 1 < s.size() && !isSymbol(s[++i], ",")) {
      return std::nullopt;
    }
  }
  return args;
}

const SqlToken& tokenAt(const Statement& s, size_t i) {
  static const SqlToken end{TokenKind::Symbol, ""};
  return i < s.size() ? s[i] : end;
}

}  // namespace

std::optional<Message> Executor::check(const Statement& s) const {
  const SqlToken& first = s.front();
  static const char* sqliteWords[] = {"select", "insert", "update", "delete"};
  for (const char* w : sqliteWords) {
    if (isWord(first, w)) {
      return std::nullopt;
    }
  }
  if (isWord(first, "exec") || isWord(first, "execute")) {
    if (s.size() < 2 || s[1].kind == TokenKind::Symbol) {
      return syntaxError(tokenAt(s, 1));
    }
    return std::nullopt;
  }
  if (isProcedureName(first) && s.size() >= 1) {
    return std::nullopt;
  }
  if (isWord(first, "alter")) {
    if (!isWord(tokenAt(s, 1), "table") || !isWord(tokenAt(s, 3), "add") || s.size() < 6) {
      return syntaxError(tokenAt(s, s.size() < 4 ? s.size() - 1 : 3));
    }
    return std::nullopt;
  }
  if (isWord(first, "restore")) {
    if (!isWord(tokenAt(s, 1), "database") || !isWord(tokenAt(s, 3), "from") || !isWord(tokenAt(s, 4), "disk") ||
        !isSymbol(tokenAt(s, 5), "=") || tokenAt(s, 6).kind != TokenKind::String) {
      return syntaxError(tokenAt(s, 1));
    }
    return std::nullopt;
  }
  if (isWord(first, "set")) {
    // Session options the driver sets on connect: SET NAME value.
    if (s.size() < 3 || s[1].kind != TokenKind::Word) {
      return syntaxError(tokenAt(s, 1));
    }
    return std::nullopt;
  }
  if (isWord(first, "use")) {
    if (s.size() != 2 || (s[1].kind != TokenKind::Word && s[1].kind != TokenKind::Quoted)) {
      return syntaxError(tokenAt(s, 1));
    }
    return std::nullopt;
  }
  return syntaxError(first);
}

void Executor::done(TokenWriter& out, uint16_t status, uint64_t rows) const {
  // Inside a procedure DONEPROC closes the reply, so every statement's
  // DONEINPROC says more follows.
  out.done(inProc_ ? static_cast<uint16_t>(status | kDoneMore) : status, rows, inProc_);
}

bool Executor::runBatch(const std::string& text, TokenWriter& out, const Bindings& bindings, bool inProc) {
  bindings_ = bindings;
  inProc_ = inProc;
  std::optional<LexError> lexError;
  auto tokens = lexSql(text, lexError);
  if (lexError) {
    out.error({lexError->number, 1, 15, lexError->text});
    done(out, kDoneError, 0);
    return false;
  }
  auto statements = splitStatements(tokens);
  for (const auto& s : statements) {
    if (auto error = check(s)) {
      out.error(*error);
      done(out, kDoneError, 0);
      return false;
    }
  }
  for (size_t i = 0; i < statements.size(); ++i) {
    uint64_t rows = 0;
    bool counted = false;
    std::optional<Message> error;
    try {
      error = execute(statements[i], out, rows, counted);
    } catch (const std::exception& e) {
      error = Message{50000, 1, 16, e.what()};
    }
    if (error) {
      out.error(*error);
      done(out, kDoneError, 0);
      return false;
    }
    bool last = i + 1 == statements.size();
    done(out, static_cast<uint16_t>((last ? kDoneFinal : kDoneMore) | (counted ? kDoneCount : 0)), rows);
  }
  if (statements.empty()) {
    done(out, kDoneFinal, 0);
  }
  return true;
}

std::optional<Message> Executor::execute(const Statement& s, TokenWriter& out, uint64_t& rows, bool& counted) {
  const SqlToken& first = s.front();
  if (isWord(first, "exec") || isWord(first, "execute")) {
    return procedure(s, 1, out);
  }
  if (isProcedureName(first)) {
    return procedure(s, 0, out);
  }
  if (isWord(first, "restore")) {
    return restore(s, out);
  }
  if (isWord(first, "use")) {
    return use(s, out);
  }
  if (isWord(first, "set")) {
    return std::nullopt;
  }
  counted = !isWord(first, "alter");
  return runSqlite(s, 0, out, rows, counted);
}

std::optional<Message> Executor::runSqlite(const Statement& s, size_t from, TokenWriter& out, uint64_t& rows,
                                           bool& counted) {
  Statement statement = s;
  if (isWord(s.front(), "alter")) {
    // ALTER TABLE t ADD c type: SQLite wants the COLUMN keyword.
    statement.insert(statement.begin() + 4, SqlToken{TokenKind::Word, "COLUMN"});
  }
  Translation translation = translateToSqlite(statement, from, database_, bindings_);
  if (translation.error) {
    return Message{translation.error->number, 1, 15, translation.error->text};
  }
  auto file = catalog_.databaseFile(database_);
  if (!file) {
    return Message{911, 1, 16,
                   "Database '" + database_ + "' does not exist. Make sure that the name is entered correctly."};
  }
  SqliteSession session;
  if (auto error = session.open(*file, lowerAscii(database_) == "master")) {
    return error;
  }
  for (const auto& name : translation.databases) {
    auto other = catalog_.databaseFile(name);
    if (!other) {
      return Message{208, 1, 16, "Invalid object name '" + name + ".dbo'."};
    }
    if (auto error = session.attach(lowerAscii(name), *other)) {
      return error;
    }
  }
  bool resultSet = false;
  auto error = session.run(translation.sql, out, rows, resultSet);
  if (error && error->number == 2705) {
    error->text.insert(error->text.find("' is specified"), "' in table '" + statement[2].text);
  }
  counted = counted || resultSet;
  return error;
}

std::optional<Message> Executor::procedure(const Statement& s, size_t nameAt, TokenWriter& out) {
  (void)out;
  const SqlToken& name = s[nameAt];
  auto args = arguments(s, nameAt + 1);
  if (!args) {
    return syntaxError(tokenAt(s, nameAt + 1));
  }
  std::string lower = lowerAscii(name.text);
  if (lower == "sp_attach_db") {
    return attachDatabase(*args);
  }
  if (lower == "sp_addlogin") {
    return addLogin(*args);
  }
  return Message{2812, 62, 16, "Could not find stored procedure '" + name.text + "'."};
}

std::optional<Message> Executor::attachDatabase(const std::vector<SqlToken>& args) {
  if (args.size() < 2) {
    return Message{8146, 1, 16, "Procedure sp_attach_db has no parameters and arguments were supplied."};
  }
  const std::string& name = args[0].text;
  if (catalog_.databaseFile(name)) {
    return Message{1801, 3, 16, "Database '" + name + "' already exists. Choose a different database name."};
  }
  std::optional<fs::path> dataFile;
  for (size_t i = 1; i < args.size(); ++i) {
    auto file = catalog_.mapPath(args[i].text);
    std::error_code ec;
    if (!file || !fs::is_regular_file(*file, ec)) {
      return fileNotFound(args[i].text);
    }
    if (i == 1) {
      dataFile = *file;
      if (!isDatabaseFile(*file)) {
        return Message{5172, 15, 16,
                       "The header for file '" + args[i].text +
                           "' is not a valid database file header. The FILE SIZE property is incorrect."};
      }
    }
  }
  if (args.size() == 2) {
    // Without a log file named, the server looks for it beside the data
    // file under the same stem.
    std::string log = args[1].text.substr(0, args[1].text.find_last_of('.')) + ".LDF";
    auto file = catalog_.mapPath(log);
    std::error_code ec;
    if (!file || !fs::is_regular_file(*file, ec)) {
      return fileNotFound(log);
    }
  }
  if (!catalog_.attach(name, *dataFile)) {
    return Message{1801, 3, 16, "Database '" + name + "' already exists. Choose a different database name."};
  }
  return std::nullopt;
}

std::optional<Message> Executor::addLogin(const std::vector<SqlToken>& args) {
  if (args.empty() || args[0].text.empty()) {
    return Message{15007, 1, 16, "'' is not a valid login or you do not have permission."};
  }
  if (!catalog_.addLogin(args[0].text)) {
    return Message{15025, 1, 16, "The server principal '" + args[0].text + "' already exists."};
  }
  return std::nullopt;
}

std::optional<Message> Executor::restore(const Statement& s, TokenWriter& out) {
  const std::string& name = s[2].text;
  const std::string& device = s[6].text;
  Message terminating{3013, 1, 16, "RESTORE DATABASE is terminating abnormally."};
  auto backup = catalog_.mapPath(device);
  std::error_code ec;
  if (!backup || !fs::is_regular_file(*backup, ec)) {
    out.error({3201, 2, 16,
               "Cannot open backup device '" + device +
                   "'. Operating system error 2(The system cannot find the file specified.)."});
    return terminating;
  }
  if (!isDatabaseFile(*backup)) {
    out.error({3241, 0, 16,
               "The media family on device '" + device +
                   "' is incorrectly formed. SQL Server cannot process this media family."});
    return terminating;
  }
  fs::path target = catalog_.restoreTarget(name);
  fs::create_directories(target.parent_path());
  // Copied beside and renamed: a failed copy leaves the old database whole.
  fs::path temp = target;
  temp += ".restoring";
  fs::copy_file(*backup, temp, fs::copy_options::overwrite_existing);
  fs::rename(temp, target);
  auto pages = fs::file_size(target) / 8192 + 1;
  out.info({3014, 1, 0, "RESTORE DATABASE successfully processed " + std::to_string(pages) + " pages."});
  return std::nullopt;
}

std::optional<Message> Executor::use(const Statement& s, TokenWriter& out) {
  const std::string& name = s[1].text;
  if (!catalog_.databaseFile(name)) {
    return Message{911, 1, 16, "Database '" + name + "' does not exist. Make sure that the name is entered correctly."};
  }
  std::string actual = catalog_.databaseName(name);
  out.envDatabase(actual, database_);
  out.info({5701, 2, 0, "Changed database context to '" + actual + "'."});
  database_ = actual;
  return std::nullopt;
}

}  // namespace sqlstandin
