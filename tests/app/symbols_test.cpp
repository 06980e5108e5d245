// The application's debug symbol tables as the debugger reads them: the
// globals with their type codes and structures, the procedure table and the
// table of executable lines, against the marks in the sources and the line
// codes that really reach the line hook.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/fenster.h"
#include "app/globals.h"
#include "app/layout.h"
#include "app/symbole.h"
#include "runtime/core/strings.h"
#include "runtime/core/threads.h"
#include "runtime/debugger/evaluator.h"
#include "runtime/debugger/type_codes.h"
#include "tests/support/report_recorder.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

using namespace velmora;

namespace {

std::vector<int32_t> g_zeilen;
std::vector<int32_t> g_tiefen;

void Zeile(int32_t line, void*) {
  g_zeilen.push_back(line);
  g_tiefen.push_back(kx::CurrentDebuggerRecord()->depth);
}
const kx::DebuggerFrontEnd Zeilenschreiber = {"lines", nullptr, nullptr, nullptr, nullptr, nullptr, Zeile};

class Symbole : public ::testing::Test {
 protected:
  void SetUp() override {
    previousSymbols = kx::CurrentDebugSymbols();
    kx::SetDebugSymbols(Symboltabellen());
    previousFrontEnd = kx::SetDebuggerFrontEnd(&Zeilenschreiber);
    g_zeilen.clear();
    g_tiefen.clear();
  }
  void TearDown() override {
    kx::SetDebuggerFrontEnd(previousFrontEnd);
    kx::SetDebugSymbols(previousSymbols);
  }
  const kx::DebugSymbols* previousSymbols = nullptr;
  const kx::DebuggerFrontEnd* previousFrontEnd = nullptr;
};

const kx::GlobalVariable* Global(const char* name) {
  for (int32_t i = 0; i < GlobaleVariablenAnzahl; ++i) {
    if (std::strcmp(GlobaleVariablen[i].name, name) == 0) return &GlobaleVariablen[i];
  }
  return nullptr;
}

const kx::StructureField* Feld(const kx::StructureDescription* s, const char* name) {
  for (int32_t i = 0; i < s->fieldCount; ++i) {
    if (std::strcmp(s->fields[i].name, name) == 0) return &s->fields[i];
  }
  return nullptr;
}

std::set<int32_t> Tabellenzeilen(int32_t datei) {
  std::set<int32_t> zeilen;
  const kx::DebugSymbols* s = Symboltabellen();
  for (int32_t t = 0; t < s->lineTableCount; ++t) {
    if (s->lines[t].file != datei) continue;
    zeilen.insert(s->lines[t].lines, s->lines[t].lines + s->lines[t].count);
  }
  return zeilen;
}

}  // namespace

TEST_F(Symbole, GlobalsCarryTheTypesOfTheirDeclarations) {
  struct {
    const char* name;
    uint8_t type;
    const void* address;
  } erwartet[] = {
      {"v_Tempdir$", kx::TypeString, &Tempdir},        {"v_mytempdir", kx::TypeString, &mytempdir},
      {"v_Zugang", kx::TypeLong, &Zugang},             {"v_Ordner$", kx::TypeString, &v_Ordner},
      {"v_Download", kx::TypeLong, &v_Download},       {"v_Splitt_Dateien_Anzahl", kx::TypeQuad, &Splitt_Dateien_Anzahl},
      {"v_Aktuelle_Upload_Datei", kx::TypeFloat, &Aktuelle_Upload_Datei},
      {"v_Aktualisierer_Upload", kx::TypeLong, &v_Aktualisierer_Upload},
  };
  for (const auto& e : erwartet) {
    const kx::GlobalVariable* g = Global(e.name);
    ASSERT_NE(g, nullptr) << e.name;
    EXPECT_EQ(g->type, e.type) << e.name;
    EXPECT_EQ(g->address, e.address) << e.name;
    EXPECT_EQ(g->structure, nullptr) << e.name;
  }
  // Every global is listed once.
  std::set<std::string> namen;
  for (int32_t i = 0; i < GlobaleVariablenAnzahl; ++i) EXPECT_TRUE(namen.insert(GlobaleVariablen[i].name).second);
  EXPECT_EQ(namen.size(), 73u);
}

TEST_F(Symbole, StructuresAreDescribedFieldByField) {
  const kx::GlobalVariable* connect = Global("v_Connect");
  ASSERT_NE(connect, nullptr);
  EXPECT_EQ(connect->type, kx::TypeStructure);
  EXPECT_EQ(connect->address, &Connect);
  auto* s = static_cast<const kx::StructureDescription*>(connect->structure);
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(s->name, "Connect");
  EXPECT_EQ(s->size, int32_t(sizeof Connect));
  ASSERT_EQ(s->fieldCount, 6);
  const char* namen[] = {"serverid", "ip", "user", "pw", "port", "Domain"};
  uint8_t typen[] = {kx::TypeLong, kx::TypeString, kx::TypeString, kx::TypeString, kx::TypeLong, kx::TypeString};
  for (int i = 0; i < 6; ++i) {
    EXPECT_STREQ(s->fields[i].name, namen[i]);
    EXPECT_EQ(s->fields[i].type, typen[i]) << namen[i];
  }
  // Read through the table as the debugger does.
  Connect.port = 21;
  kx::AssignString(&Connect.Domain, "example.test");
  const char* basis = static_cast<const char*>(connect->address);
  EXPECT_EQ(*reinterpret_cast<const int32_t*>(basis + Feld(s, "port")->offset), 21);
  EXPECT_STREQ(*reinterpret_cast<char* const*>(basis + Feld(s, "Domain")->offset), "example.test");

  // GUID.Data4 is an array of eight bytes, not one byte.
  auto* guid = static_cast<const kx::StructureDescription*>(Global("v_GUID")->structure);
  ASSERT_NE(guid, nullptr);
  const kx::StructureField* data4 = Feld(guid, "Data4");
  ASSERT_NE(data4, nullptr);
  EXPECT_EQ(data4->type, kx::TypeByte);
  EXPECT_EQ(data4->elements, 8);
  EXPECT_EQ(data4->offset, 8);
  EXPECT_EQ(Feld(guid, "Data2")->type, kx::TypeWord);
  EXPECT_EQ(Feld(guid, "Data1")->elements, 0);
}

TEST_F(Symbole, ProceduresAreFoundByAddressAndIndexWithTheirArguments) {
  const kx::ProcedureEntry* p = kx::FindProcedureByAddress(reinterpret_cast<const void*>(&MakeGUID));
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p->name, "MakeGUID");
  EXPECT_EQ(kx::FindProcedureByIndex(p->index), p);
  ASSERT_EQ(p->argumentCount, 1);
  EXPECT_EQ(p->arguments[0].type, kx::TypeLong);
  EXPECT_EQ(p->resultType, kx::TypeString);
  auto* lokale = static_cast<const kx::SymbolEntry*>(p->symbols[0]);
  ASSERT_NE(lokale, nullptr);
  EXPECT_STREQ(lokale[0].name, "p_mark");
  EXPECT_EQ(lokale[0].scope, kx::ScopeLocal);
  EXPECT_EQ(lokale[1].type, kx::SymbolTableEnd);

  // The entry hook sees the argument as passed, in the frame the table describes.
  int32_t vorher = kx::ProcedureCallCount(p->index);
  kx::ThreadStringStart();
  int32_t mark = kx::GetStringMark();
  std::string guid = MakeGUID(mark);
  EXPECT_EQ(guid.size(), 38u);
  EXPECT_EQ(kx::ProcedureCallCount(p->index), vorher + 1);
  EXPECT_EQ(kx::CurrentDebuggerRecord()->depth, 0);
  ASSERT_FALSE(g_tiefen.empty());
  for (int32_t tiefe : g_tiefen) EXPECT_EQ(tiefe, 1);  // every line ran inside the frame
}

// Every line code that reaches the hook is in the table, and every table line
// is a marked statement of its source file (and every marked statement is there).
TEST_F(Symbole, TableOfExecutableLinesMatchesTheMarksAndTheHook) {
  kx::ThreadStringStart();
  MakeGUID(kx::GetStringMark());
  ASSERT_FALSE(g_zeilen.empty());
  for (int32_t code : g_zeilen) {
    int32_t datei = int32_t(uint32_t(code) >> 24);
    EXPECT_STREQ(kx::SourceFileName(code), "layout.cpp");
    EXPECT_EQ(Tabellenzeilen(datei).count((code & 0xFFFFFF) + 1), 1u) << "line " << (code & 0xFFFFFF) + 1;
  }

  const char* quellen = std::getenv("VELMORA_SOURCE_DIR");
  ASSERT_NE(quellen, nullptr);
  const kx::DebugSymbols* s = Symboltabellen();
  int32_t markiert = 0;
  for (int32_t datei = 0; datei < s->sourceFileCount; ++datei) {
    std::ifstream quelle(kxtest::WinePath(std::string(quellen) + "/app/" + s->sourceFiles[datei]));
    ASSERT_TRUE(quelle) << s->sourceFiles[datei];
    std::set<int32_t> marken;
    std::string text;
    for (int32_t nummer = 1; std::getline(quelle, text); ++nummer) {
      size_t start = text.find_first_not_of(" \t");
      if (start != std::string::npos && text.compare(start, 3, "Z_ ") == 0) marken.insert(nummer);
    }
    EXPECT_EQ(Tabellenzeilen(datei), marken) << s->sourceFiles[datei];
    markiert += int32_t(marken.size());
  }
  EXPECT_GT(markiert, 0);
}

namespace {
int32_t Nicht_Gelistet(int32_t) { return 0; }
}  // namespace

// The thread start's procedure check finds the application's thread
// procedures in the table; a procedure the table lacks is named as such.
// What a person types at the debugger reaches the application's own globals
// and structure fields through these tables.
TEST_F(Symbole, TheEvaluatorReadsTheApplicationsGlobals) {
  struct Wert {
    const char* ausdruck;
    int32_t art;
    int64_t zahl;
    const char* text;
  };
  int32_t zugangVorher = Zugang, groseVorher = PacketGrose;
  char* tempVorher = Tempdir;
  char* ipVorher = Connect.ip;
  char temp[] = "C:\\Temp\\{GUID}\\";
  char ip[] = "127.0.0.1";
  Zugang = 1;
  PacketGrose = 1000000;
  Tempdir = temp;
  Connect.ip = ip;
  const Wert werte[] = {
      {"Zugang", kx::ValueInteger, 1, nullptr},
      {"PacketGrose*2", kx::ValueInteger, 2000000, nullptr},
      {"Tempdir$", kx::ValueString, 0, temp},
      {"Tempdir$ + \"x\"", kx::ValueString, 0, "C:\\Temp\\{GUID}\\x"},
      {"Connect\\ip", kx::ValueString, 0, ip},
  };
  for (const Wert& w : werte) {
    kx::EvaluationResult r = {};
    EXPECT_EQ(kx::EvaluateExpression(w.ausdruck, &r), 1) << w.ausdruck << ": " << r.message;
    EXPECT_EQ(r.kind, w.art) << w.ausdruck;
    if (w.text) EXPECT_STREQ(r.text ? r.text : "", w.text) << w.ausdruck;
    else EXPECT_EQ(r.integer, w.zahl) << w.ausdruck;
    kx::FreeEvaluation(&r);
  }
  kx::EvaluationResult r = {};
  EXPECT_EQ(kx::EvaluateExpression("Connect", &r), 1);
  EXPECT_EQ(r.kind, kx::ValueStructure);
  EXPECT_EQ(r.address, static_cast<void*>(&Connect));
  kx::FreeEvaluation(&r);
  EXPECT_EQ(kx::EvaluateExpression("Verbunden", &r), 0);
  EXPECT_STREQ(r.message, "Variable not found: 'Verbunden'.");
  kx::FreeEvaluation(&r);
  Zugang = zugangVorher;
  PacketGrose = groseVorher;
  Tempdir = tempVorher;
  Connect.ip = ipVorher;
}

TEST(Symboltabellen, ThreadStartCheckFindsTheApplicationsProcedures) {
  const kx::DebugSymbols* vorher = kx::CurrentDebugSymbols();
  kx::SetDebugSymbols(Symboltabellen());
  {
    kxtest::ReportRecorder berichte;
    int32_t thread = kx::StartThread(&Rechner_Hauptfenster_Spalte, 0);
    ASSERT_NE(thread, 0);
    ASSERT_TRUE(kxtest::WaitUntil([&] { return !kx::ThreadRunning(thread); }, 10000));
    EXPECT_EQ(berichte.count(), 0u) << berichte.lastKey();
    int32_t fremd = kx::StartThread(&Nicht_Gelistet, 0);
    ASSERT_TRUE(kxtest::WaitUntil([&] { return !kx::ThreadRunning(fremd); }, 10000));
    EXPECT_TRUE(berichte.has("NoProcedure"));
  }
  kx::SetDebugSymbols(vorher);
}
