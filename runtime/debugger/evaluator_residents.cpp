// Constants of the resident files: "Residents\*.res" under the install path,
// read on the first constant that the program's own table lacks and kept
// for the run (read again only when the install path changes).  A resident
// file is text, one constant per line:
//   #Name = 42        integer ("$" hexadecimal and "%" binary too)
//   #Ratio = -1.5e3   float
//   #Title$ = "Text"  string
// Lines that start with ";" and lines of any other form are skipped.
#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/debugger/evaluator_internal.h"

namespace kx {
namespace evaluator {

namespace {

struct Resident {
  std::string name;
  uint8_t type;
  int64_t integer;
  double number;
  std::string text;
};

struct Residents {
  std::mutex lock;
  bool loaded = false;
  std::string installPath;
  std::vector<Resident> constants;
};

Residents& Loaded() {
  static Residents residents;
  return residents;
}

// "#Name = value" (blanks around the parts); false for any other line.
bool ParseLine(const std::string& line, Resident& out) {
  size_t p = line.find_first_not_of(" \t");
  if (p == std::string::npos || line[p] != '#') return false;
  size_t equals = line.find('=', p);
  if (equals == std::string::npos) return false;
  size_t nameEnd = line.find_last_not_of(" \t", equals - 1);
  if (nameEnd == std::string::npos || nameEnd <= p) return false;
  out.name = line.substr(p + 1, nameEnd - p);
  std::string value = line.substr(equals + 1);
  State state;
  Begin(state, value.c_str());
  bool negative = false;
  if (state.token == TokenMinus) {
    negative = true;
    Next(state);
  }
  switch (state.token) {
    case TokenInteger:
      out.type = ConstantInteger;
      out.integer = negative ? int64_t(0 - uint64_t(state.integer)) : state.integer;
      break;
    case TokenFloat:
      out.type = ConstantFloat;
      out.number = negative ? -state.number : state.number;
      break;
    case TokenString:
      if (negative) return false;
      out.type = ConstantString;
      out.text = state.text;
      break;
    default:
      return false;
  }
  Next(state);
  return state.token == TokenEnd;
}

void ReadFile(const std::string& path, std::vector<Resident>& constants) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return;
  std::string line;
  int c;
  auto flush = [&] {
    Resident resident{};
    if (ParseLine(line, resident)) constants.push_back(std::move(resident));
    line.clear();
  };
  while ((c = std::fgetc(file)) != EOF) {
    if (c == '\r' || c == '\n') flush();
    else line.push_back(char(c));
  }
  flush();
  std::fclose(file);
}

void LoadLocked(Residents& residents) {
  std::string installPath = InstallPath();
  if (residents.loaded && residents.installPath == installPath) return;
  residents.loaded = true;
  residents.installPath = installPath;
  residents.constants.clear();
  std::string directory = installPath;
  if (!directory.empty() && directory.back() != '\\' && directory.back() != '/') directory += '\\';
  directory += "Residents\\";
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((directory + "*.res").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ReadFile(directory + found.cFileName, residents.constants);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

}  // namespace

int ResidentConstant(State& state, Value& out) {
  Residents& residents = Loaded();
  std::lock_guard<std::mutex> hold(residents.lock);
  LoadLocked(residents);
  for (const Resident& constant : residents.constants) {
    if (!SameName(constant.name.c_str(), state.Name(), state.nameLength)) continue;
    out.Release();
    switch (constant.type) {
      case ConstantFloat:
        out.kind = ValueFloat;
        out.number = constant.number;
        return 1;
      case ConstantString:
        return MakeString(state, out, constant.text.c_str(), int32_t(constant.text.size())) ? 1 : -1;
      default:
        out.integer = constant.integer;
        return 1;
    }
  }
  return 0;
}

}  // namespace evaluator
}  // namespace kx
