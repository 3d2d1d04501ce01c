#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace sqlstandin {

// The server-wide state: which database name is bound to which file, and
// the logins. Names compare case-insensitively, as on a server with the
// default collation. The state is kept in the server's folder so that a
// restarted stand-in still knows its databases.
class Catalog {
 public:
  explicit Catalog(std::filesystem::path folder);

  // The file behind a database name, or nullopt when no such database.
  std::optional<std::filesystem::path> databaseFile(const std::string& name) const;
  // The name as it was attached, for messages and ENVCHANGE.
  std::string databaseName(const std::string& name) const;
  bool attach(const std::string& name, const std::filesystem::path& file);
  // The file a restore of `name` writes: the bound file, else a new one.
  std::filesystem::path restoreTarget(const std::string& name);
  bool addLogin(const std::string& name);

  // A Windows path as the installer writes it ("D:\Data\x.MDF") to a file
  // inside the server's folder ("<folder>/D/Data/x.MDF"); nullopt for a
  // path that would leave the folder.
  std::optional<std::filesystem::path> mapPath(const std::string& windowsPath) const;

  const std::filesystem::path& folder() const { return folder_; }

 private:
  struct Database {
    std::string name;
    std::filesystem::path file;
  };
  void load();
  void save() const;

  std::filesystem::path folder_;
  mutable std::mutex mutex_;
  std::map<std::string, Database> databases_;  // by lower-case name
  std::set<std::string> logins_;               // lower-case
};

}  // namespace sqlstandin
