// Test front-end that records every report instead of showing it.
#pragma once

#include <string>
#include <vector>

namespace kxtest {

struct RecordedReport {
  int kind = 0;          // 2 error, 6 fatal, 1 displayed warning
  std::string group;     // catalog group of the key ("Common", "File", ...)
  std::string key;       // the key ("NoObject", "HighNumber", ...)
  std::string text;      // the message as formatted
};

// While alive, reports reach this recorder (from any thread) and the program
// goes on after each one (state 0), unless setEndOnReport was asked for.
class ReportRecorder {
 public:
  ReportRecorder();
  ~ReportRecorder();
  ReportRecorder(const ReportRecorder&) = delete;
  ReportRecorder& operator=(const ReportRecorder&) = delete;

  std::vector<RecordedReport> reports() const;
  bool has(const std::string& key) const;     // any report with this key
  std::string lastKey() const;                // "" if none
  std::string lastText() const;
  size_t count() const;
  void clear();
  // Errors then leave the fatal state (6), as a front-end that ends the program.
  void setEndOnReport(bool end);
};

}  // namespace kxtest
