#pragma once
// Appends lines to a text log ("GameLoad.log"). The file is opened at the first line and
// stays open until the logger is destroyed; the first I/O error stops all further logging,
// silently.

#include <cstdio>
#include <functional>
#include <string>

namespace kessaro {

class TLoger {
 public:
  using TLogHook = std::function<void(TLoger& logger, const std::string& line)>;

  explicit TLoger(std::string fileName);
  virtual ~TLoger();
  TLoger(const TLoger&) = delete;
  TLoger& operator=(const TLoger&) = delete;

  // Writes text (after "[dd/mm/yyyy hh:nn:ss:zzz] " when withTime) and a line end.
  void Log(const std::string& text, bool withTime = false);
  void Flush();

  const std::string& FileName() const { return fileName_; }
  int LogError() const { return logError_; }
  bool Opened() const { return opened_; }

  TLogHook OnLog;

 private:
  void OpenFile();

  std::string fileName_;
  std::FILE* file_ = nullptr;
  int logError_ = 0;
  bool opened_ = false;
};

// Log through a logger that may be missing.
void LogLine(TLoger* logger, const std::string& text, bool withTime = false);

// "[dd/mm/yyyy hh:nn:ss:zzz] " for a stored date value.
std::string LogTimeStamp(double dateTime);

}  // namespace kessaro
