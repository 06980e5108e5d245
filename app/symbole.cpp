// The debugger's tables of the application: source files and executable
// lines (collected from the sources by the build), the procedure table (from
// app/procedures.def and each procedure's signature), the globals and the
// named constants (from app/konstanten.def, through the C++ constants the
// program itself uses).
#include "app/symbole.h"

#include "app/debugger.h"
#include "app/globals.h"
#include "app/fenster.h"
#include "app/gadgets.h"
#include "app/layout.h"
#include "app/pipelines.h"
#include "app/privat.h"
#include "app/programm.h"

namespace velmora {

extern const char* const Quellverzeichnis;
extern const char* const Quelldateien[];
extern const int32_t Quelldateienanzahl;
extern const kx::ExecutableLines AusfuehrbareZeilen[];
extern const int32_t AusfuehrbareZeilenAnzahl;

#define EINTRAG(name) extern const char* const Argumentnamen_##name[];
#include "app/procedures.def"
#undef EINTRAG

namespace {

#define EINTRAG(name) const auto lokale_##name = kx::ArgumentLocals<&name>::Rows(Argumentnamen_##name);
#include "app/procedures.def"
#undef EINTRAG

const kx::ProcedureEntry prozeduren[] = {
#define EINTRAG(name) \
  kx::ProcedureRow<&name>(uint16_t(Prozedurnummer::name), #name, lokale_##name.data()),
#include "app/procedures.def"
#undef EINTRAG
};

const kx::ConstantSymbol konstanten[] = {
#define KONSTANTE(type, name, value) kx::ConstantRow(#name, name),
#include "app/konstanten.def"
#undef KONSTANTE
};

// The application has no global arrays, lists or labels.
const kx::ProgramTables tabellen = {
    nullptr, 0, nullptr, 0, konstanten, int32_t(sizeof konstanten / sizeof *konstanten), nullptr, 0,
};

const kx::DebugSymbols symbole = {
    Quellverzeichnis,
    Quelldateien[0],
    Quelldateien,
    Quelldateienanzahl,
    prozeduren,
    int32_t(sizeof prozeduren / sizeof *prozeduren),
    GlobaleVariablen,
    GlobaleVariablenAnzahl,
    AusfuehrbareZeilen,
    AusfuehrbareZeilenAnzahl,
    &tabellen,
};

}  // namespace

const kx::DebugSymbols* Symboltabellen() { return &symbole; }

}  // namespace velmora
