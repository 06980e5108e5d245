// The console debugger's settings: the settings file under the install
// path, "saveconfig", and the output target ("redirect").
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "runtime/debugger/console_internal.h"

namespace kx {
namespace console {

namespace {

std::string g_redirectName;      // file name of the output target, "" for stdout/stderr
bool g_redirectStderr = false;
std::string g_shell = "cmd";

std::string SettingsPath() { return std::string(InstallPath()) + "Debugger\\debugger.prefs"; }

void CloseRedirect() {
  FILE* current = static_cast<FILE*>(ConsoleOutput());
  if (current != stdout && current != stderr) fclose(current);
  SetConsoleOutput(nullptr);
  g_redirectName.clear();
  g_redirectStderr = false;
}

}  // namespace

std::string Trim(const std::string& text) {
  size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(start, end - start + 1);
}

const std::string& RedirectName() { return g_redirectName; }
bool RedirectIsStderr() { return g_redirectStderr; }
const std::string& ShellCommand() { return g_shell; }

void Redirect(const std::string& target, FILE* out, bool atStart) {
  CloseRedirect();
  if (lstrcmpiA(target.c_str(), "stdout") == 0) return;
  if (lstrcmpiA(target.c_str(), "stderr") == 0) {
    SetConsoleOutput(stderr);
    g_redirectStderr = true;
    return;
  }
  FILE* file = fopen(target.c_str(), "w");
  if (!file) {
    Printf(out, atStart ? "[Debugger] Cannot create file: %s\n  Using stdout for debug output.\n\n"
                         : "  Cannot create file: %s\n  Using stdout for debug output.\n\n",
            target.c_str());
    return;
  }
  SetConsoleOutput(file);
  g_redirectName = target;
}

void ReadSettings() {
  FILE* file = fopen(SettingsPath().c_str(), "r");
  if (!file) return;
  char buffer[1002];
  while (fgets(buffer, sizeof buffer, file)) {
    std::string line = Trim(buffer);
    if (line.empty() || line[0] == ';') continue;
    size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = Trim(line.substr(0, equals));
    std::string value = Trim(line.substr(equals + 1));
    const char* v = value.c_str();
    if (lstrcmpiA(key.c_str(), "redirect") == 0) {
      Redirect(value, stdout, true);
    } else if (lstrcmpiA(key.c_str(), "numbers") == 0) {
      SetHexMode(lstrcmpiA(v, "hex") == 0);
    } else if (lstrcmpiA(key.c_str(), "errors") == 0) {
      SetErrorMode(lstrcmpiA(v, "ignore") == 0    ? 1
                   : lstrcmpiA(v, "console") == 0 ? 2
                   : lstrcmpiA(v, "exit") == 0    ? 3
                   : lstrcmpiA(v, "report") == 0  ? 4
                                                  : 0);
    } else if (lstrcmpiA(key.c_str(), "warnings") == 0) {
      SetWarningMode(lstrcmpiA(v, "ignore") == 0 ? 0 : lstrcmpiA(v, "error") == 0 ? 2 : 1);
    } else if (lstrcmpiA(key.c_str(), "callonstart") == 0) {
      SetCallOnStart(atoi(v));
    } else if (lstrcmpiA(key.c_str(), "callonend") == 0) {
      SetCallOnEnd(atoi(v));
    } else if (lstrcmpiA(key.c_str(), "shell") == 0) {
      g_shell = value;
    }
  }
  fclose(file);
}

void SaveSettings(FILE* out) {
  std::string path = SettingsPath();
  FILE* file = fopen(path.c_str(), "w");
  if (!file) {
    Printf(out, "  Cannot save config to %s\n\n", path.c_str());
    return;
  }
  time_t now = time(nullptr);
  const char* date = ctime(&now);
  std::string created = date ? Trim(date) : "";
  static const char* const Errors[] = {"ask", "ignore", "console", "exit", "report"};
  static const char* const Warnings[] = {"ignore", "display", "error"};
  fprintf(file, "; Korvex Debugger Settings\n; Created on %s\n\n", created.c_str());
  if (!g_redirectName.empty()) fprintf(file, "Redirect = %s\n", g_redirectName.c_str());
  else fprintf(file, g_redirectStderr ? "Redirect = stderr\n" : "Redirect = stdout\n");
  fprintf(file, "Numbers = %s\n", HexMode() ? "hex" : "dec");
  fprintf(file, "Errors = %s\n", Errors[ErrorMode() >= 0 && ErrorMode() <= 4 ? ErrorMode() : 0]);
  fprintf(file, "Warnings = %s\n", Warnings[WarningMode() >= 0 && WarningMode() <= 2 ? WarningMode() : 1]);
  fprintf(file, "CallOnStart = %d\n", CallOnStart());
  fprintf(file, "CallOnEnd = %d\n", CallOnEnd());
  fprintf(file, "Shell = %s\n", g_shell.c_str());
  fclose(file);
  Printf(out, "  Configuration saved to %s\n\n", path.c_str());
}

}  // namespace console
}  // namespace kx
