// The application's windows: the main window with its event loop and the
// size column of the send list, and the four dialogs.
#pragma once

#include <cstdint>

namespace velmora {

// Main window 0 with both tabs, every gadget and the menu; 0 when the window
// can't be opened.
int32_t Hauptfenster_Oeffnen();

// The main event loop; it never ends on its own.
void Ereignisschleife();

// The actions of the main window (button or menu): add, send, delete, and
// "Downloaden".  `menue` is 1 when the action comes from the menu.
void Hinzufuegen(int32_t menue);
void Senden(int32_t menue);
void Loeschen_Button();
void Loeschen_Menue();
void Downloaden();
// The close request: "Wirklich Beenden"; Yes ends the program.
void Beenden_Fragen();

// Spalte_Name and Spalte_Datei_Size of the chosen file or folder (direct
// call, or thread with start value 0 at resume).
int32_t Rechner_Hauptfenster_Spalte(int32_t wert);

// Adds the size of every matching file below `directory` to Datei_Size,
// using directory objects from `directoryid` on; the result is always "".
char* ListFiles(const char* directory, const char* filename, const char* extension, int32_t directoryid,
                int32_t mark);

// Dialogs.
void Auswahl_Fenster();
// Selection window: option "Datei" (1) or "Ordner" (0) switches the fields.
void Auswahl_Felder_Schalten(int32_t datei);
void ServerZugang();
int32_t CodeFenster(int32_t wert);
void Uber();

}  // namespace velmora
