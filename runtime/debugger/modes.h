// The debugger's modes, changed by the settings file, the front-ends and the
// program itself.
#pragma once

namespace kx {

// Warning mode: 0 ignore, 1 display (default), 2 treat as error.
void SetWarningMode(int mode);
int WarningMode();
// Console error mode: 0 ask (default), 1 ignore, 2 console, 3 exit, 4 report.
void SetErrorMode(int mode);
int ErrorMode();
// Number mode for integer debug output: 0 decimal, 1 hexadecimal.
void SetHexMode(int hex);
int HexMode();
// End-on-error flag: a reported error runs the program's end code first.
void SetEndOnError(int flag);
int EndOnError();

}  // namespace kx
