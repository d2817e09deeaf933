#include "storage/LogUnit.h"

#include <cerrno>
#include <utility>

#include "platform/DateTime.h"

namespace kessaro {

TLoger::TLoger(std::string fileName) : fileName_(std::move(fileName)) {}

TLoger::~TLoger() {
  if (file_ != nullptr) std::fclose(file_);
}

void TLoger::OpenFile() {
  errno = 0;
  // "a" appends to an existing file and creates a missing one.
  file_ = std::fopen(fileName_.c_str(), "a");
  logError_ = file_ != nullptr ? 0 : (errno != 0 ? errno : EIO);
  opened_ = logError_ == 0;
}

void TLoger::Log(const std::string& text, bool withTime) {
  if (logError_ != 0) return;
  if (!opened_) OpenFile();
  if (!opened_) return;
  const std::string line = withTime ? LogTimeStamp(Now()) + text : text;
  if (OnLog) OnLog(*this, line);
  errno = 0;
  if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() ||
      std::fputc('\n', file_) == EOF)
    logError_ += errno != 0 ? errno : EIO;
}

void TLoger::Flush() {
  if (file_ == nullptr || logError_ != 0) return;
  errno = 0;
  if (std::fflush(file_) != 0) logError_ += errno != 0 ? errno : EIO;
}

void LogLine(TLoger* logger, const std::string& text, bool withTime) {
  if (logger != nullptr) logger->Log(text, withTime);
}

std::string LogTimeStamp(double dateTime) {
  const TCivilDateTime t = DecodeDateTime(dateTime);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "[%02d/%02d/%04d %02d:%02d:%02d:%03d] ", t.date.day,
                t.date.month, t.date.year, t.hour, t.minute, t.second, t.millisecond);
  return buffer;
}

}  // namespace kessaro
