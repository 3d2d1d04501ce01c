// A bare ODBC connection to FreeTDS's driver, the baseline of the SQL
// round-trip benchmark. ODBC's headers and the platform's Windows types
// cannot share a file, so it stands apart.
#pragma once

#include <string>

class RawConnection {
 public:
  // Connects with an ODBC connection string; exits the program on failure.
  explicit RawConnection(const std::string& text);
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;
  // Runs "SELECT 1" and checks the answer.
  void SelectOne();

 private:
  void* env_ = nullptr;
  void* dbc_ = nullptr;
};
