// Recording front-end for tests: every report is kept and the program goes on.
#include "report_recorder.h"

#include <windows.h>

#include "runtime/debugger/checks.h"

namespace kxtest {

namespace {

struct RecorderState {
  CRITICAL_SECTION lock;
  std::vector<RecordedReport> reports;
  int active = 0;
  bool endOnReport = false;
  const kx::DebuggerFrontEnd* previous = nullptr;
  RecorderState() { InitializeCriticalSection(&lock); }
};

RecorderState& State() {
  static RecorderState* state = new RecorderState;
  return *state;
}

void Add(int kind, const kx::ReportDetails& report) {
  RecorderState& s = State();
  EnterCriticalSection(&s.lock);
  s.reports.push_back({kind, report.group, report.key, report.text});
  LeaveCriticalSection(&s.lock);
}

int RecordError(const kx::ReportDetails& report, int) {
  Add(report.kind, report);
  return State().endOnReport ? kx::StateFatal : kx::StateRunning;
}

void RecordWarning(const kx::ReportDetails& report) { Add(1, report); }

int GoOn(int32_t, int, void*) { return kx::StateRunning; }

const kx::DebuggerFrontEnd RecorderFrontEnd = {"ReportRecorder", RecordError, RecordWarning, GoOn, nullptr, nullptr};

}  // namespace

ReportRecorder::ReportRecorder() {
  RecorderState& s = State();
  EnterCriticalSection(&s.lock);
  if (s.active++ == 0) {
    s.reports.clear();
    s.endOnReport = false;
    s.previous = kx::SetDebuggerFrontEnd(&RecorderFrontEnd);
  }
  LeaveCriticalSection(&s.lock);
}

ReportRecorder::~ReportRecorder() {
  RecorderState& s = State();
  EnterCriticalSection(&s.lock);
  if (--s.active == 0) kx::SetDebuggerFrontEnd(s.previous);
  LeaveCriticalSection(&s.lock);
}

std::vector<RecordedReport> ReportRecorder::reports() const {
  RecorderState& s = State();
  EnterCriticalSection(&s.lock);
  std::vector<RecordedReport> copy = s.reports;
  LeaveCriticalSection(&s.lock);
  return copy;
}

bool ReportRecorder::has(const std::string& key) const {
  for (const RecordedReport& r : reports()) {
    if (r.key == key) return true;
  }
  return false;
}

std::string ReportRecorder::lastKey() const {
  std::vector<RecordedReport> all = reports();
  return all.empty() ? std::string() : all.back().key;
}

std::string ReportRecorder::lastText() const {
  std::vector<RecordedReport> all = reports();
  return all.empty() ? std::string() : all.back().text;
}

size_t ReportRecorder::count() const { return reports().size(); }

void ReportRecorder::clear() {
  RecorderState& s = State();
  EnterCriticalSection(&s.lock);
  s.reports.clear();
  LeaveCriticalSection(&s.lock);
}

void ReportRecorder::setEndOnReport(bool end) {
  RecorderState& s = State();
  EnterCriticalSection(&s.lock);
  s.endOnReport = end;
  LeaveCriticalSection(&s.lock);
}

}  // namespace kxtest
