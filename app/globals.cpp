#include "app/globals.h"

#include <cstddef>

namespace velmora {

struct Connect Connect = {};
struct Ordner Ordner = {};
struct Zusammen Zusammen = {};
struct Fehler Fehler = {};
struct Namen Namen = {};
struct Version Version = {};
struct GUID GUID = {};

char* Tempdir = nullptr;
char* mytempdir = nullptr;
char* Templog = nullptr;
char* MyZIP = nullptr;
int32_t PacketGrose = 0;

int32_t Zugang = 0;
int32_t Dis = 0;
int32_t Auswahlfenster = 0;
char* Upload_Datei_Pfad = nullptr;
char* Upload_Ordner_Pfad = nullptr;
char* Upload_Pack_Pfad = nullptr;
char* Upload_Pack_Datei_Size = nullptr;
char* Spalte_Name = nullptr;
char* Spalte_Datei_Size = nullptr;
int32_t Datei_Size = 0;

std::atomic<int32_t> Vorbereiten{0};
std::atomic<float> Aktuelle_Splitt_Datei{0.0f};
std::atomic<int64_t> Splitt_Dateien_Anzahl{0};
std::atomic<float> Aktuelle_Upload_Datei{0.0f};
std::atomic<int32_t> Upload_Status{0};
std::atomic<int32_t> Grosrel{0};
std::atomic<int64_t> OrdnerZahl{0};
std::atomic<int32_t> Fortsetzen{0};
std::atomic<int32_t> Upload_fortsetzen{0};

char* Serverordner = nullptr;
char* TempPfad = nullptr;
char* ErfolgreichUbertragen = nullptr;
char* Dateipfad = nullptr;

char* Endung = nullptr;
char* Gespeicherte_Pack_Datei = nullptr;
int32_t Aktuelle_Ornder_Pack_Datei = 0;

char* Adresse = nullptr;
char* v_Ordner = nullptr;
char* Speicherort = nullptr;
std::atomic<int32_t> v_Download{0};
std::atomic<float> Aktuelle_Download_Datei{0.0f};
std::atomic<int32_t> Download_Geschwindigkeit{0};

int32_t EventID = 0;
int32_t Beenden = 0;
int32_t Zeilen_ListIcon = 0;
int32_t Spalte = 0;
int32_t Position = 0;
int32_t Pos_Dateiname = 0;

std::atomic<int32_t> Downloadfortsetzer_Thread{0};
std::atomic<int32_t> PackerDateiThread{0};
std::atomic<int32_t> PackerOrdnerThread{0};
std::atomic<int32_t> v_Aktualisierer_Upload{0};
std::atomic<int32_t> UploadThread{0};
std::atomic<int32_t> VorbereitenThread{0};
std::atomic<int32_t> v_Aktualisierer_Download{0};
std::atomic<int32_t> Download_Thread{0};
std::atomic<int32_t> Zusammenfuegen_Thread{0};
std::atomic<int32_t> Unpack_Datei_Thread{0};
std::atomic<int32_t> DownloadGeschwindigkeit_Thread{0};

char* Zeilea = nullptr;
char* Zeileb = nullptr;
char* Zeilec = nullptr;
char* Zeiled = nullptr;
char* a = nullptr;
char* b = nullptr;
char* c = nullptr;
char* d = nullptr;

// The atomics stand in for plain values in the debugger's tables.
static_assert(sizeof(std::atomic<int32_t>) == 4 && sizeof(std::atomic<float>) == 4);
static_assert(sizeof(std::atomic<int64_t>) == 8);
static_assert(std::atomic<int64_t>::is_always_lock_free);

namespace {

constexpr uint8_t Byte = kx::TypeByte, Word = kx::TypeWord, Long = kx::TypeLong, Struct = kx::TypeStructure,
                  String = kx::TypeString, Float = kx::TypeFloat, Quad = kx::TypeQuad;

#define FIELD(type, kind, field) {kind, #field, static_cast<int32_t>(offsetof(struct type, field))}
const StrukturFeld ConnectFelder[] = {
    FIELD(Connect, Long, serverid), FIELD(Connect, String, ip),   FIELD(Connect, String, user),
    FIELD(Connect, String, pw),     FIELD(Connect, Long, port),   FIELD(Connect, String, Domain),
    {0, nullptr, 0}};
const StrukturFeld OrdnerFelder[] = {
    FIELD(Ordner, String, FTPOrdner), FIELD(Ordner, String, TempSplitOrdnerPfad),
    FIELD(Ordner, String, TempEmpfangOrdnerPfad), {0, nullptr, 0}};
const StrukturFeld ZusammenFelder[] = {FIELD(Zusammen, Long, PacketGrosse), {0, nullptr, 0}};
const StrukturFeld FehlerFelder[] = {
    FIELD(Fehler, String, Auswahlfenster_UngueltigerPfad), FIELD(Fehler, String, CodeOrdnerUngultig),
    FIELD(Fehler, String, FTPConnect),  FIELD(Fehler, String, Endung),
    FIELD(Fehler, String, Download_Fehlgeschlagen), FIELD(Fehler, String, TempEmpfangOrdner),
    {0, nullptr, 0}};
const StrukturFeld NamenFelder[] = {
    FIELD(Namen, String, Titel_Auswahlfenster), FIELD(Namen, String, Text_Auswahlfenster), {0, nullptr, 0}};
const StrukturFeld VersionFelder[] = {FIELD(Version, String, Text), FIELD(Version, String, Titel), {0, nullptr, 0}};
const StrukturFeld GUIDFelder[] = {
    FIELD(GUID, Long, Data1), FIELD(GUID, Word, Data2), FIELD(GUID, Word, Data3), FIELD(GUID, Byte, Data4),
    {0, nullptr, 0}};
#undef FIELD

}  // namespace

#define V(kind, name, variable) {kind, name, const_cast<void*>(static_cast<const volatile void*>(&variable)), nullptr}
#define S(name, variable, fields) {Struct, name, &variable, fields}
const kx::GlobalVariable GlobaleVariablen[] = {
    S("v_Connect", Connect, ConnectFelder),
    S("v_Ordner", Ordner, OrdnerFelder),
    S("v_Zusammen", Zusammen, ZusammenFelder),
    S("v_Fehler", Fehler, FehlerFelder),
    S("v_Namen", Namen, NamenFelder),
    S("v_Version", Version, VersionFelder),
    S("v_GUID", GUID, GUIDFelder),
    V(String, "v_Tempdir$", Tempdir),
    V(String, "v_mytempdir", mytempdir),
    V(String, "v_Templog$", Templog),
    V(String, "v_MyZIP", MyZIP),
    V(Long, "v_PacketGrose", PacketGrose),
    V(Long, "v_Zugang", Zugang),
    V(Long, "v_Dis", Dis),
    V(Long, "v_Auswahlfenster", Auswahlfenster),
    V(String, "v_Upload_Datei_Pfad$", Upload_Datei_Pfad),
    V(String, "v_Upload_Ordner_Pfad$", Upload_Ordner_Pfad),
    V(String, "v_Upload_Pack_Pfad$", Upload_Pack_Pfad),
    V(String, "v_Upload_Pack_Datei_Size$", Upload_Pack_Datei_Size),
    V(String, "v_Spalte_Name$", Spalte_Name),
    V(String, "v_Spalte_Datei_Size$", Spalte_Datei_Size),
    V(Long, "v_Datei_Size", Datei_Size),
    V(Long, "v_Vorbereiten", Vorbereiten),
    V(Float, "v_Aktuelle_Splitt_Datei", Aktuelle_Splitt_Datei),
    V(Quad, "v_Splitt_Dateien_Anzahl", Splitt_Dateien_Anzahl),
    V(Float, "v_Aktuelle_Upload_Datei", Aktuelle_Upload_Datei),
    V(Long, "v_Upload_Status", Upload_Status),
    V(Long, "v_Grosrel", Grosrel),
    V(Quad, "v_OrdnerZahl", OrdnerZahl),
    V(Long, "v_Fortsetzen", Fortsetzen),
    V(Long, "v_Upload_fortsetzen", Upload_fortsetzen),
    V(String, "v_Serverordner$", Serverordner),
    V(String, "v_TempPfad$", TempPfad),
    V(String, "v_ErfolgreichUbertragen$", ErfolgreichUbertragen),
    V(String, "v_Dateipfad$", Dateipfad),
    V(String, "v_Endung$", Endung),
    V(String, "v_Gespeicherte_Pack_Datei", Gespeicherte_Pack_Datei),
    V(Long, "v_Aktuelle_Ornder_Pack_Datei", Aktuelle_Ornder_Pack_Datei),
    V(String, "v_Adresse$", Adresse),
    V(String, "v_Ordner$", v_Ordner),
    V(String, "v_Speicherort$", Speicherort),
    V(Long, "v_Download", v_Download),
    V(Float, "v_Aktuelle_Download_Datei", Aktuelle_Download_Datei),
    V(Long, "v_Download_Geschwindigkeit", Download_Geschwindigkeit),
    V(Long, "v_EventID", EventID),
    V(Long, "v_Beenden", Beenden),
    V(Long, "v_Zeilen_ListIcon", Zeilen_ListIcon),
    V(Long, "v_Spalte", Spalte),
    V(Long, "v_Position", Position),
    V(Long, "v_Pos_Dateiname", Pos_Dateiname),
    V(Long, "v_Downloadfortsetzer_Thread", Downloadfortsetzer_Thread),
    V(Long, "v_PackerDateiThread", PackerDateiThread),
    V(Long, "v_PackerOrdnerThread", PackerOrdnerThread),
    V(Long, "v_Aktualisierer_Upload", v_Aktualisierer_Upload),
    V(Long, "v_UploadThread", UploadThread),
    V(Long, "v_VorbereitenThread", VorbereitenThread),
    V(Long, "v_Aktualisierer_Download", v_Aktualisierer_Download),
    V(Long, "v_Download_Thread", Download_Thread),
    V(Long, "v_Zusammenfuegen_Thread", Zusammenfuegen_Thread),
    V(Long, "v_Unpack_Datei_Thread", Unpack_Datei_Thread),
    V(Long, "v_DownloadGeschwindigkeit_Thread", DownloadGeschwindigkeit_Thread),
    V(String, "v_Zeilea$", Zeilea),
    V(String, "v_Zeileb$", Zeileb),
    V(String, "v_Zeilec$", Zeilec),
    V(String, "v_Zeiled$", Zeiled),
    V(String, "v_a", a),
    V(String, "v_b", b),
    V(String, "v_c", c),
    V(String, "v_d", d),
};
#undef V
#undef S
const int32_t GlobaleVariablenAnzahl = sizeof(GlobaleVariablen) / sizeof(GlobaleVariablen[0]);

}  // namespace velmora
