#include "Catalog.h"

#include <fstream>

#include "SqlLexer.h"

namespace sqlstandin {

namespace fs = std::filesystem;

namespace {

constexpr const char* kCatalogFile = "catalog.tsv";

}  // namespace

Catalog::Catalog(fs::path folder) : folder_(std::move(folder)) {
  fs::create_directories(folder_);
  load();
  if (!databases_.count("master")) {
    databases_["master"] = {"master", folder_ / "master.sqlite"};
    save();
  }
}

void Catalog::load() {
  std::ifstream in(folder_ / kCatalogFile);
  std::string kind, name, file;
  while (std::getline(in, kind, '\t') && std::getline(in, name, '\t') && std::getline(in, file)) {
    if (kind == "db") {
      databases_[lowerAscii(name)] = {name, file};
    } else if (kind == "login") {
      logins_.insert(lowerAscii(name));
    }
  }
}

void Catalog::save() const {
  // Written beside and renamed, so a stand-in killed mid-write keeps the
  // previous catalog whole.
  fs::path temp = folder_ / (std::string(kCatalogFile) + ".tmp");
  {
    std::ofstream out(temp, std::ios::trunc);
    for (const auto& [key, db] : databases_) {
      out << "db\t" << db.name << '\t' << db.file.string() << '\n';
    }
    for (const auto& login : logins_) {
      out << "login\t" << login << "\t-\n";
    }
  }
  fs::rename(temp, folder_ / kCatalogFile);
}

std::optional<fs::path> Catalog::databaseFile(const std::string& name) const {
  std::lock_guard lock(mutex_);
  auto it = databases_.find(lowerAscii(name));
  if (it == databases_.end()) {
    return std::nullopt;
  }
  return it->second.file;
}

std::string Catalog::databaseName(const std::string& name) const {
  std::lock_guard lock(mutex_);
  auto it = databases_.find(lowerAscii(name));
  return it == databases_.end() ? name : it->second.name;
}

bool Catalog::attach(const std::string& name, const fs::path& file) {
  std::lock_guard lock(mutex_);
  if (!databases_.emplace(lowerAscii(name), Database{name, file}).second) {
    return false;
  }
  save();
  return true;
}

fs::path Catalog::restoreTarget(const std::string& name) {
  std::lock_guard lock(mutex_);
  auto it = databases_.find(lowerAscii(name));
  if (it != databases_.end()) {
    return it->second.file;
  }
  fs::path file = folder_ / (lowerAscii(name) + ".mdf");
  databases_[lowerAscii(name)] = {name, file};
  save();
  return file;
}

bool Catalog::addLogin(const std::string& name) {
  std::lock_guard lock(mutex_);
  if (!logins_.insert(lowerAscii(name)).second) {
    return false;
  }
  save();
  return true;
}

std::optional<fs::path> Catalog::mapPath(const std::string& windowsPath) const {
  std::string rest = windowsPath;
  fs::path result = folder_;
  if (rest.size() >= 2 && rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0]))) {
    result /= std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0]))));
    rest = rest.substr(2);
  }
  for (auto& c : rest) {
    if (c == '\\') {
      c = '/';
    }
  }
  for (const auto& part : fs::path(rest).relative_path()) {
    if (part == "..") {
      return std::nullopt;
    }
    if (!part.empty() && part != ".") {
      result /= part;
    }
  }
  return result;
}

}  // namespace sqlstandin
