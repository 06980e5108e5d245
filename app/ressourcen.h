// Resource numbers of Velmora.exe (used by velmora.rc and the program).
#pragma once

#define VELMORA_ICON 1
#define VELMORA_BILD_ORDNER 101
#define VELMORA_BILD_NETZLAUFWERK 102
#define VELMORA_BILD_PAPIERKORB 103
