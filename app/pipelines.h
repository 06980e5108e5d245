// Where the main window hands work to the upload and download pipelines and
// their clean-up: thread starts and stops on the thread-number globals.
#pragma once

#include <cstdint>

#include "app/anhalten.h"
#include "app/download.h"
#include "app/upload.h"

namespace velmora {

// Start sequence: the resume thread Downloadfortsetzer (start value 52918).
void Fortsetzer_Starten();

// Send action, after the checks of the main window: Pack_Datei and/or
// Pack_Ordner (41) with the packer's progress callback (before Pack_Datei
// when `callbackVorDatei`, else with Pack_Ordner), then Aktualisierer_Upload
// (44) and Upload (45).
void Upload_Starten(int32_t callbackVorDatei);

// Delete button: stops UploadThread and the upload updater when they run,
// then the clean-up "löschen".
void Upload_Abbrechen();

// "Downloaden": Aktualisierer_Download (44), Download (492), Zusammenfuegen
// (291) and Downloadgeschwindigkeit (44), in this order.
void Download_Starten();

// Clean-up of the private folder; the mode is "löschen" or "Upload fertig".
void Cleaner(const char* modus);

}  // namespace velmora
