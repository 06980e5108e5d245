// Entry of Velmora.exe.
#include <windows.h>

#include "app/programm.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return velmora::Programm(); }
