// The download pipeline: the part fetch, its progress and speed, the join and
// the unpack.  The threads meet in v_Download, Aktuelle_Download_Datei and
// Download_Geschwindigkeit and in each other's thread numbers.
#pragma once

#include <cstdint>

namespace velmora {

// Thread (492): the save place, the probe of part 1, then part after part.
int32_t Download(int32_t wert);
// Thread (44): the count file, the speed column, bar 19 and text 40.
int32_t Aktualisierer_Download(int32_t wert);
// Thread (44): the speed of the latest part, until its download has ended.
int32_t Downloadgeschwindigkeit(int32_t wert);
// Thread (291): after the fetch, checks the part count and joins the parts.
int32_t Zusammenfuegen(int32_t wert);
// Thread (492): unpacks the joined archive and reports the result.
int32_t Unpack_Datei(int32_t wert);

// The end of a download that did not succeed: the message titled "Fehler"
// (with the cause in a second line when there is one), the joined
// archive removed, button 17 enabled.  The complete parts received stay for
// the next download of the same code into the same place, unless
// `teileLoeschen` (they made a damaged archive).
void Download_Misslungen(const char* meldung, const char* ursache, bool teileLoeschen);

// A part (and the count file, and the probe) is tried this often, this many
// milliseconds apart, before the fetch gives up on it.
constexpr int32_t Teil_Versuche = 3;
constexpr int32_t Teil_Pause = 500;

// The count of parts the server's Anz.txt gave this download (0: none came).
int64_t Download_Teile_Anzahl();
// Why the fetch thread's last failed request failed ("" when none did), for
// the join's messages.
const char* Download_Ursache();

// The cause of the calling thread's last failed HTTP request as the second
// line of a message: "Der Server antwortet nicht." (time-out or a server
// that drips), "Die Verbindung wurde abgelehnt.", the server's status line
// ("HTTP/1.1 404 Not Found"), "Die Verbindung wurde unterbrochen." or "Die
// Datei konnte nicht geschrieben werden."; "" after a success.  Built at
// mark.  The code search of the upload uses it too.
char* Http_Ursache(int32_t mark);
constexpr const char* Ursache_Keine_Antwort = "Der Server antwortet nicht.";
constexpr const char* Ursache_Abgelehnt = "Die Verbindung wurde abgelehnt.";
// The message titled "Fehler": meldung, and ursache in a line of its own
// when it is not empty.
void Fehler_Melden(const char* meldung, const char* ursache);

// The messages of a failed download.
constexpr const char* Download_Unvollstaendig =
    "Der Download ist unvollst\xE4ndig. Bitte den Download erneut starten.";
constexpr const char* Download_Beschaedigt =
    "Die empfangenen Daten sind besch\xE4" "digt. Bitte den Download erneut starten.";

}  // namespace velmora
