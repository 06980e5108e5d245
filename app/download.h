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

// The end of a download that did not succeed: the message titled "Fehler",
// the received parts and the joined archive removed, button 17 enabled.
void Download_Misslungen(const char* meldung);

// The messages of a failed download.
constexpr const char* Download_Unvollstaendig =
    "Der Download ist unvollst\xE4ndig. Bitte den Download erneut starten.";
constexpr const char* Download_Beschaedigt =
    "Die empfangenen Daten sind besch\xE4" "digt. Bitte den Download erneut starten.";

}  // namespace velmora
