// Shared state of the transfer application.
//
// The pipelines hand work on to each other only through these globals, polled
// from their threads; there is no lock.  The values that one thread writes and
// another polls are atomics (same size and layout as the plain value), so a
// polling loop always reads memory again and a quad is never seen half-written.
//
// String globals are runtime string variables: a pointer to the variable's own
// block of the string heap, null for "".  They are assigned with the string
// runtime (AssignString / AssignFromBuffer), never with plain pointer stores.
//
// Names are the program's own.  A trailing "$" of a string global is dropped;
// where the name without "$" would meet a structure or a procedure of the same
// name, the variable carries the "v_" of its stored debugger name (v_Ordner for
// Ordner$, v_Download for the status Download, and the two updater thread
// numbers).
#pragma once

#include <atomic>
#include <cstdint>

#include "runtime/debugger/checks.h"

namespace velmora {

// ---- structures (one global of each, named like the type) -----------------

struct Connect {
  int32_t serverid;  // FTP object number, 1
  char* ip;          // FTP server name or address
  char* user;
  char* pw;
  int32_t port;      // 21
  char* Domain;      // web host name of the same server (HTTP)
};

struct Ordner {
  char* FTPOrdner;              // "SPLIT"
  char* TempSplitOrdnerPfad;    // Tempdir + "SPLIT\"
  char* TempEmpfangOrdnerPfad;  // Tempdir + "Empf" (no trailing "\")
};

struct Zusammen {
  int32_t PacketGrosse;  // join buffer, 2000000
};

struct Fehler {
  char* Auswahlfenster_UngueltigerPfad;
  char* CodeOrdnerUngultig;
  char* FTPConnect;
  char* Endung;
  char* Download_Fehlgeschlagen;
  char* TempEmpfangOrdner;
};

struct Namen {
  char* Titel_Auswahlfenster;
  char* Text_Auswahlfenster;
};

struct Version {
  char* Text;
  char* Titel;
};

// The operating system's GUID record, filled by MakeGUID.
struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};

extern struct Connect Connect;
extern struct Ordner Ordner;
extern struct Zusammen Zusammen;
extern struct Fehler Fehler;
extern struct Namen Namen;
extern struct Version Version;
extern struct GUID GUID;

// ---- folders and fixed sizes ------------------------------------------------

extern char* Tempdir;    // this run's private folder, ends in "\"
extern char* mytempdir;  // intermediate value of Tempdir
extern char* Templog;    // persistent folder temp + "Velmora\"
extern char* MyZIP;      // Tempdir + "Velmora.zip"
extern int32_t PacketGrose;  // part size, 1000000

// ---- access data, selection, send list ---------------------------------------

extern int32_t Zugang;         // 1 once FTP access data are known
extern int32_t Dis;            // 3 once an upload was started
extern int32_t Auswahlfenster; // 4 after a confirmed selection
extern char* Upload_Datei_Pfad;
extern char* Upload_Ordner_Pfad;
extern char* Upload_Pack_Pfad;
extern char* Upload_Pack_Datei_Size;
extern char* Spalte_Name;
extern char* Spalte_Datei_Size;
extern int32_t Datei_Size;

// ---- upload (polled across threads) -----------------------------------------

extern std::atomic<int32_t> Vorbereiten;            // 100 when split completely
extern std::atomic<float> Aktuelle_Splitt_Datei;    // parts written so far
extern std::atomic<int64_t> Splitt_Dateien_Anzahl;  // parts of this upload
extern std::atomic<float> Aktuelle_Upload_Datei;    // parts uploaded so far
extern std::atomic<int32_t> Upload_Status;          // 0 idle, 2 sending, 5 done
extern std::atomic<int32_t> Grosrel;                // bytes of uploaded parts
extern std::atomic<int64_t> OrdnerZahl;             // the transfer code
extern std::atomic<int32_t> Fortsetzen;
extern std::atomic<int32_t> Upload_fortsetzen;

// Values read back from the resume record.
extern char* Serverordner;
extern char* TempPfad;
extern char* ErfolgreichUbertragen;
extern char* Dateipfad;

extern char* Endung;
extern char* Gespeicherte_Pack_Datei;
extern int32_t Aktuelle_Ornder_Pack_Datei;

// ---- download (polled across threads) ----------------------------------------

extern char* Adresse;      // code typed by the receiver / code shown
extern char* v_Ordner;     // Ordner$: copy of the code for download URLs
extern char* Speicherort;  // save path without extension
extern std::atomic<int32_t> v_Download;               // Download: 0, 1 fetching, 2 done
extern std::atomic<float> Aktuelle_Download_Datei;    // parts received so far
extern std::atomic<int32_t> Download_Geschwindigkeit; // kbit/s

// ---- event loop working values ----------------------------------------------

extern int32_t EventID;
extern int32_t Beenden;
extern int32_t Zeilen_ListIcon;
extern int32_t Spalte;
extern int32_t Position;
extern int32_t Pos_Dateiname;

// ---- thread numbers -----------------------------------------------------------

extern std::atomic<int32_t> Downloadfortsetzer_Thread;
extern std::atomic<int32_t> PackerDateiThread;
extern std::atomic<int32_t> PackerOrdnerThread;
extern std::atomic<int32_t> v_Aktualisierer_Upload;
extern std::atomic<int32_t> UploadThread;
extern std::atomic<int32_t> VorbereitenThread;
extern std::atomic<int32_t> v_Aktualisierer_Download;
extern std::atomic<int32_t> Download_Thread;
extern std::atomic<int32_t> Zusammenfuegen_Thread;
extern std::atomic<int32_t> Unpack_Datei_Thread;
extern std::atomic<int32_t> DownloadGeschwindigkeit_Thread;

// ---- access file at start: the four lines and their decoded values ----------

extern char* Zeilea;
extern char* Zeileb;
extern char* Zeilec;
extern char* Zeiled;
extern char* a;
extern char* b;
extern char* c;
extern char* d;

// ---- the debugger's view of these globals ------------------------------------

// The program's global variable table for the debug symbols (names as
// stored: "v_" + the source name, strings with their "$").  A structure's
// entry points to its field list, ended by an entry with a null name.
struct StrukturFeld {
  uint8_t type;  // the debugger's type codes
  const char* name;
  int32_t offset;
};

extern const kx::GlobalVariable GlobaleVariablen[];
extern const int32_t GlobaleVariablenAnzahl;

}  // namespace velmora
