// Object numbers of the application's windows, gadgets, images and menu
// items, and the runtime values it passes: the constants of
// app/konstanten.def.
#pragma once

#include <cstdint>

namespace velmora {

<<<<<<< HEAD
// Windows.
constexpr intptr_t Hauptfenster = 0;
constexpr intptr_t Auswahlfenster_Nummer = 1;
constexpr intptr_t Uberfenster = 3;
constexpr intptr_t Zugangsfenster = 9;
constexpr intptr_t CodeWindow = 42;

// Main window, tab "Senden".
constexpr intptr_t ListIcon_0 = 1;
constexpr intptr_t ButtonImage_0 = 2;  // add
constexpr intptr_t ButtonImage_1 = 3;  // send
constexpr intptr_t ButtonImage_2 = 4;  // delete
constexpr intptr_t ProgressBar_Vorbereiten = 5;
constexpr intptr_t Text_2 = 6;
constexpr intptr_t Text_3 = 7;
constexpr intptr_t ProgressBar_Upload = 8;
constexpr intptr_t Panel_Gadget_1 = 13;
constexpr intptr_t Text_11 = 23;
constexpr intptr_t Text_12 = 24;
constexpr intptr_t Text_25 = 37;
constexpr intptr_t Text_26 = 38;

// Main window, tab "Empfangen".
constexpr intptr_t ListIcon_1 = 14;
constexpr intptr_t String_16 = 15;
constexpr intptr_t Text_8 = 16;
constexpr intptr_t Button_0 = 17;
constexpr intptr_t Text_9 = 18;
constexpr intptr_t ProgressBar_4 = 19;
constexpr intptr_t Text_10 = 20;
constexpr intptr_t ProgressBar_5 = 21;
constexpr intptr_t Text_30 = 40;
constexpr intptr_t Text_31 = 41;

// Selection window.
constexpr intptr_t Option_Datei = 50;
constexpr intptr_t Option_Ordner = 51;
constexpr intptr_t String_Datei = 52;
constexpr intptr_t String_Ordner = 53;
constexpr intptr_t Button_Datei = 54;
constexpr intptr_t Button_Ordner = 55;
constexpr intptr_t Text_Hinweis = 56;
constexpr intptr_t Text_Datei = 57;
constexpr intptr_t Text_Ordner = 58;
constexpr intptr_t Button_Eintragen = 59;

// Server-access window.
constexpr intptr_t String_21 = 28;
constexpr intptr_t String_22 = 29;
constexpr intptr_t String_23 = 30;
constexpr intptr_t String_24 = 31;
constexpr intptr_t Text_20 = 32;
constexpr intptr_t Text_21 = 33;
constexpr intptr_t Text_22 = 34;
constexpr intptr_t Text_23 = 35;
constexpr intptr_t Text_24 = 36;
constexpr intptr_t Button_10 = 39;

// Code window.
constexpr intptr_t Code_Text_1 = 43;
constexpr intptr_t Code_String_1 = 44;
constexpr intptr_t Code_Beenden_Button = 45;

// About window.
constexpr intptr_t Uber_Editor = 10;
constexpr intptr_t Uber_Ok = 11;

// Images (the three buttons of tab "Senden").
constexpr intptr_t Bild_Ordner = 1;
constexpr intptr_t Bild_Netzlaufwerk = 2;
constexpr intptr_t Bild_Papierkorb = 3;

// Menu items of the main window.
constexpr intptr_t Menue_Hinzufuegen = 1;
constexpr intptr_t Menue_Senden = 2;
constexpr intptr_t Menue_Loeschen = 3;
constexpr intptr_t Menue_Uber = 4;
constexpr intptr_t Menue_ServerZugang = 5;
constexpr intptr_t Menue_Privat = 6;  // check item "Privat senden"

// Runtime values the application passes.
constexpr int32_t Ereignis_Gadget = 13100;
constexpr int32_t Ereignis_Menue = 13101;
constexpr int32_t Ereignis_Schliessen = 16;
constexpr int32_t Antwort_Ja = 6;
constexpr int32_t Frage_JaNein = 4;  // message requester with Yes and No

constexpr int32_t Fenster_Haupt = 0xCF0000;       // title, system menu, sizeable, min/max
constexpr int32_t Fenster_OhneSchliessen = 0xC40000;  // title and sizeable border, no system menu
constexpr int32_t Fenster_Fest = 0xCC0000;        // title with close button, fixed size
=======
#define KONSTANTE(type, name, value) constexpr type name = value;
#include "app/konstanten.def"
#undef KONSTANTE
>>>>>>> wip/debugger

}  // namespace velmora
