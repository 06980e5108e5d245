// Server layout of a transfer, local side: the private and persistent
// folders, the parts of an archive, the access file "Hash.txt", the resume
// record "Infos.txt" and the small extension and count files.
//
// Everything here works on the globals of app/globals.h.  The file numbers are
// the program's own (1 and 2 for split and join, 33 access file, 419 and 55
// resume record, 73 extension file, 42 count file, 37 received count file), so
// a pipeline that uses one of them concurrently would lose its file.
#pragma once

#include <cstdint>

namespace velmora {

// ---- names of the layout ------------------------------------------------------

constexpr const char* ArchivName = "Velmora.zip";
constexpr const char* TeilEndung = ".quon";
constexpr const char* Zugangsdatei = "Hash.txt";
constexpr const char* Fortsetzungsdatei = "Infos.txt";

// The access file's values are decoded into 1024 bytes; a value whose Base64
// text and closing zero do not fit there is refused (765 bytes still fit).
constexpr int32_t ZugangRaum = 1024;
constexpr int32_t ZugangWertHoechstens = (ZugangRaum - 1) / 4 * 3;  // 765

// At most this many characters of a resume record value are taken.
constexpr int32_t InfosWertHoechstens = 500;

// ---- start-up ------------------------------------------------------------------

// A new GUID in registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
// (38 characters), built at the mark; "" if the system gives no GUID.  The
// record is left in the global GUID.
char* MakeGUID(int32_t mark);

// Start values of the folders and fixed settings: Tempdir (created), Templog
// (created when missing), MyZIP, PacketGrose, Ordner (FTPOrdner, both local
// part folders), Zusammen, Connect's serverid and port, the Fehler and Namen
// texts and the window title.
void Startwerte();

// ---- access file Templog + "Hash.txt" ----------------------------------------------

// Results of Zugangsdatei_Schreiben.
constexpr int32_t ZugangGespeichert = 1;
constexpr int32_t ZugangDateiFehler = 0;   // the file could not be created
constexpr int32_t ZugangWertZuLang = -1;   // a value over 765 bytes; nothing written

// Writes the four values (server, web domain, user, password) as four Base64
// lines with CR LF.  When `kodiert` is given, its four string variables
// receive the Base64 texts (the access window keeps them in Connect).
int32_t Zugangsdatei_Schreiben(const char* ip, const char* domain, const char* user, const char* pw,
                               char** kodiert = nullptr);

// Start step: reads and decodes the access file into Zeilea..Zeiled, a..d
// and Connect, and sets Zugang = 1.  A missing file leaves Zugang at 0; so
// does a line too long to decode into 1024 bytes.  Returns Zugang.
int32_t Zugangsdatei_Lesen();

// ---- resume record Templog + "Infos.txt" -------------------------------------------

// Writes the six lines from TempSplitOrdnerPfad, `erfolgreich`, OrdnerZahl,
// Upload_Datei_Pfad, Splitt_Dateien_Anzahl and Upload_Pack_Datei_Size.
// Returns nonzero when the record was written.
int32_t Infos_Schreiben(int64_t erfolgreich);

// Resume step: if the record opens, Upload_fortsetzen = 5 and TempPfad,
// ErfolgreichUbertragen, Serverordner, Dateipfad (and Upload_Datei_Pfad),
// Splitt_Dateien_Anzahl and Upload_Pack_Datei_Size are read back.  Returns
// 1 when the record was read, 0 when there is none.
int32_t Infos_Lesen();

// ---- extension and count files -----------------------------------------------------

// Endung = extension of Upload_Datei_Pfad, written without line end to
// Tempdir + "dd.txt" (the local copy of txt.txt).  Nonzero when written.
int32_t Endungsdatei_Schreiben();

// The decimal Splitt_Dateien_Anzahl without line end in Tempdir + "Anz.txt".
int32_t Anzahldatei_Schreiben();

// First line of the received count file Tempdir + "AnzEmpf.txt" (created
// empty when missing), built at the mark.
char* Anzahldatei_Lesen(int32_t mark);

// ---- parts ---------------------------------------------------------------------------

// Part count of an archive of `groesse` bytes: floor(groesse / PacketGrose) + 1.
int64_t Teilanzahl(int64_t groesse);

// The splitting work of DateiVorbereiten: cuts Upload_Pack_Pfad into
// TempSplitOrdnerPfad + k + ".quon", k = 1..N, through one 1,000,000-byte
// buffer.  Clears Vorbereiten and Aktuelle_Splitt_Datei and sets
// Splitt_Dateien_Anzahl first, counts Aktuelle_Splitt_Datei up per written
// part and sets Vorbereiten = 100 at the end.  Returns 1 when all parts were
// written; 0 when the archive could not be opened or a part could not be
// created (Vorbereiten then stays 0, so no upload starts from an incomplete
// set of parts).
int32_t Archiv_Aufteilen();

// The joining work of Zusammenfuegen: appends TempEmpfangOrdnerPfad + "\" +
// u + ".quon", u = 1..Aktuelle_Download_Datei, to Speicherort + ".zip"
// through one 2,000,000-byte buffer, then removes the received parts and
// Tempdir + "txt.txt".  A part that cannot be opened is skipped.  Returns 1
// when the archive was created, 0 otherwise.
int32_t Teile_Zusammenfuegen();

}  // namespace velmora
