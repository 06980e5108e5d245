// How the application's code reports itself to the runtime debugger.
//
//   char* ListFiles(const char* directory, const char* filename, const char* extension, int32_t directoryid) {
//     PROZEDUR(ListFiles, directory, filename, extension, directoryid);
//     Z_ kx::Text verzeichnis;
//     Z_ if (...) {
//
// PROZEDUR, the first line of a procedure, names it and passes its arguments
// in order: it copies them into the frame that the procedure table describes
// and reports the entry, and the exit when the procedure is left by any way.
// The procedure must be listed in app/procedures.def, whose position is the
// procedure's index; its table row (arguments, result, code address) is made
// from its C++ signature.
//
// Z_ at the start of a statement reports the statement's line code to the
// line hook before it runs; when the hook answers that the program must end,
// the program's end code runs.  The build (app/werkzeuge/symbole.py) collects
// the lines that carry the mark into the table of executable lines, and the
// argument names of each PROZEDUR line into the procedure's variable table,
// so the tables follow the code and are never written by hand.
//
// VELMORA_QUELLE is the source file's index in the debugger's file list; the
// build defines it per file.
#pragma once

#include <cstdint>

#include "runtime/debugger/end_code.h"
#include "runtime/debugger/hooks.h"
#include "runtime/debugger/type_codes.h"

#ifndef VELMORA_QUELLE
#error "VELMORA_QUELLE: the application's sources are compiled with their file index"
#endif

namespace velmora {

enum class Prozedurnummer : int32_t {
#define EINTRAG(name) name,
#include "app/procedures.def"
#undef EINTRAG
};

constexpr int32_t Zeilencode(int32_t datei, int32_t zeile) { return int32_t(uint32_t(datei) << 24 | uint32_t(zeile - 1)); }

}  // namespace velmora

#define Z_ \
  if (::kx::DebuggerLine(::velmora::Zeilencode(VELMORA_QUELLE, __LINE__))) ::kx::ExitProgram(1);

#define PROZEDUR(name, ...) \
  ::kx::ProcedureFrame<&name> kx_prozedur_(int32_t(::velmora::Prozedurnummer::name) __VA_OPT__(, ) __VA_ARGS__)
