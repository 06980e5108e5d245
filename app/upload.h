// The upload pipeline: packing, splitting, the FTP transfer with its resume
// record, the progress display, the clean-up and the resume at the next start.
//
// The threads hand work on only through the globals of app/globals.h; each
// thread procedure takes the start value it is given and ignores it.
#pragma once

#include <cstdint>

namespace velmora {

// Vorbereiten: 100 once the archive is split completely, Vorbereiten_Fehler
// when packing or splitting failed (the upload then ends without sending).
constexpr int32_t Vorbereiten_Fertig = 100;
constexpr int32_t Vorbereiten_Fehler = -1;

// Auswahl_Zuletzt: the option of the selection window confirmed last.
constexpr int32_t Auswahl_Datei = 1;
constexpr int32_t Auswahl_Ordner = 2;

// ---- packing (upload_packen.cpp) -----------------------------------------------

// Threads (41): pack the chosen file or folder into MyZIP, then start the
// splitter.
int32_t Pack_Datei(int32_t wert);
int32_t Pack_Ordner(int32_t wert);
// The packer's progress callback: fills the first half of the preparation bar.
void PackCallback(const char* datei, float fortschritt);
// Files directly in the folder (not below it).
int32_t Dateienzahl(const char* ordner);
// Files with bytes that a folder path with pattern ("C:\x\*.*") names, as
// the packer finds them; -1 when the folder can't be listed.
int32_t Dateien_Mit_Inhalt(const char* muster);

// ---- splitting (upload_vorbereiten.cpp) ------------------------------------------

// Thread (44): the archive's size into the send list, then its parts.
int32_t DateiVorbereiten(int32_t wert);

// ---- the FTP transfer (upload_ftp.cpp) ----------------------------------------------

// Thread (45): log-in, the code, txt.txt, the parts, Anz.txt, the code window.
int32_t Upload(int32_t wert);
// The first free transfer folder: the smallest number the web side does not
// know and whose folder the FTP server did make.  0 when no folder could be
// made in Code_Versuche tries or the FTP server stopped answering;
// Code_Keine_Antwort when the web side gave no answer.
int64_t Code_Suchen();
constexpr int32_t Code_Versuche = 1000;
constexpr int64_t Code_Keine_Antwort = -1;
// Stores one local file under the remote name in the current FTP folder,
// with up to Sende_Versuche tries; nonzero when stored.
int32_t Datei_Senden(const char* lokal, const char* entfernt);
constexpr int32_t Sende_Versuche = 3;
constexpr int32_t Sende_Pause = 500;  // ms between two tries
// Closes FTP object 1 if the upload opened it and it was not closed since.
void Ftp_Schliessen();
// True while the upload's FTP connection may be asked for its progress.
bool Ftp_Verbunden();

// ---- progress (upload_fortschritt.cpp) -----------------------------------------------

// Thread (44): the preparation bar, then the upload bar, speed and sent columns.
int32_t Aktualisierer_Upload(int32_t wert);

// ---- start, end and resume (upload_ablauf.cpp) ---------------------------------------

// The state a new upload of the run starts from: split and upload counters,
// and the values a resumed upload of this run left behind.
void Upload_Zuruecksetzen();
// Thread (52918) started at program start: continues the upload that the
// resume record names, or ends at once.
int32_t Downloadfortsetzer(int32_t wert);

// Pause of a polling loop, in milliseconds.  It ends early when the calling
// thread is asked to stop (a cancel, the program's end), so every loop that
// pauses asks Angehalten() as well.
void Delay(int32_t millisekunden);
// True once the calling thread is asked to stop.
bool Angehalten();

// The end of a preparation that failed: Vorbereiten = Vorbereiten_Fehler,
// so the waiting upload ends without sending, and the message titled
// "Fehler" with the text and the path on a second line.  Returns 0.
int32_t Vorbereitung_Misslungen(const char* text, const char* pfad);

}  // namespace velmora
