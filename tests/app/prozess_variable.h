// Reads a 32-bit variable of the running Velmora.exe the way a debugger
// does: its address from the program file's symbol table (COFF symbols, as
// the build leaves them), its place in the process from where the system
// loaded the program.  The tests read the thread library's count of
// terminated threads this way.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "tests/support/temp_folder.h"

namespace apptest {

// The symbol's offset from the program's load address (RVA), 0 if the file
// has no such symbol.
inline uint32_t SymbolRva(const std::string& programm, const std::string& name) {
  const std::string bytes = kxtest::ReadBytes(programm);
  auto u16 = [&](size_t at) { return at + 2 <= bytes.size() ? uint32_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8) : 0u; };
  auto u32 = [&](size_t at) { return at + 4 <= bytes.size() ? u16(at) | u16(at + 2) << 16 : 0u; };
  const size_t pe = u32(0x3C);
  if (bytes.size() < pe + 24 || bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return 0;
  const size_t kopf = pe + 4;
  const uint32_t abschnitte = u16(kopf + 2);
  const uint32_t symbole = u32(kopf + 8);
  const uint32_t anzahl = u32(kopf + 12);
  const size_t abschnitt0 = kopf + 20 + u16(kopf + 16);
  const size_t texte = symbole + size_t(anzahl) * 18;
  for (uint32_t i = 0; i < anzahl; ++i) {
    const size_t s = symbole + size_t(i) * 18;
    if (s + 18 > bytes.size()) break;
    std::string symbol;
    if (u32(s) == 0) {
      const size_t at = texte + u32(s + 4);
      if (at < bytes.size()) symbol = bytes.c_str() + at;
    } else {
      symbol.assign(bytes, s, 8);
      symbol.resize(strnlen(symbol.c_str(), 8));
    }
    const int abschnitt = int16_t(u16(s + 12));
    if (symbol == name && abschnitt > 0 && uint32_t(abschnitt) <= abschnitte)
      return u32(abschnitt0 + size_t(abschnitt - 1) * 40 + 12) + u32(s + 8);
    i += uint8_t(bytes[s + 17]);  // auxiliary records
  }
  return 0;
}

// The value of the variable in the process, -1 when it can't be read.
inline long ProzessVariable(HANDLE prozess, DWORD id, uint32_t rva) {
  if (rva == 0) return -1;
  HANDLE bild = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, id);
  if (bild == INVALID_HANDLE_VALUE) return -1;
  MODULEENTRY32 modul = {};
  modul.dwSize = sizeof modul;
  const bool gefunden = Module32First(bild, &modul) != 0;  // the program comes first
  CloseHandle(bild);
  if (!gefunden) return -1;
  int32_t wert = 0;
  SIZE_T gelesen = 0;
  if (!ReadProcessMemory(prozess, modul.modBaseAddr + rva, &wert, sizeof wert, &gelesen) || gelesen != sizeof wert)
    return -1;
  return long(wert);
}

}  // namespace apptest
