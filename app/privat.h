// Private transfers: the archive sealed before it is split (its key only in
// the code the sender hands on), the private code, and the switch "Privat
// senden" with its settings file.
//
// The hooks into the pipelines are the calls Privat_Versiegeln (upload,
// before the split), Privat_Code_Uebernehmen (the code typed on "Empfangen")
// and Privat_Entsiegeln (download, after the join); a plain transfer passes
// them unchanged.
#pragma once

#include <cstdint>

namespace velmora {

// The secret: 80 random bits, written as 16 characters of Crockford's base32.
constexpr int32_t GeheimnisBytes = 10;
constexpr int32_t GeheimnisZeichen = 16;

// ---- the private code (privatcode.cpp) ------------------------------------------

// A new secret from the system's generator as its 16 characters, built at the
// mark; "" when the generator failed.
char* Geheimnis_Ziehen(int32_t mark);

// The private code: the folder number, "-", the secret in groups of four
// joined by "-" ("17-K7F3-Q9ZM-4TXA-PB2W"), built at the mark.
char* Privatcode(int64_t ordner, const char* geheimnis, int32_t mark);

// Reads a code as the receiver typed it.  A private code is a folder number
// followed by 16 characters of the secret; case does not matter, dashes and
// blanks may stand anywhere or be left out, O reads as 0, I and L as 1.
// Returns 1 for a private code (the number into *ordner, the secret's 16
// characters in their plain form into the string variable *geheimnis), 0 for
// anything else (a numeric code among them: it is used as typed).
int32_t Privatcode_Lesen(const char* code, int64_t* ordner, char** geheimnis);

// The secret's 10 bytes from its 16 characters; 1 when it is a secret.
int32_t Geheimnis_Bytes_Lesen(const char* geheimnis, uint8_t* bytes);

// ---- the switch (privat_schalter.cpp) -----------------------------------------------

constexpr const char* Einstellungsdatei = "Einstellungen.txt";

// Start step: Privat_Senden from Templog + "Einstellungen.txt" ("Privat=1"
// on; a missing or unreadable file, or any other line, off).
void Einstellungen_Lesen();
// The menu item "Privat senden": the switch turned over, shown as the item's
// check and written to the settings file.
void Privat_Umschalten();

// ---- the pipelines' hooks (privat_uebertragung.cpp) -------------------------------

// Upload, before the split: with the switch on, draws the secret into
// Geheimnis and seals Upload_Pack_Pfad into Tempdir + "Velmora.versiegelt",
// which then becomes Upload_Pack_Pfad; with it off, Geheimnis = "".  0 when
// sealing failed (the split must not start then).
int32_t Privat_Versiegeln();

// The code shown in the code window: the private code when the upload was
// private, else the decimal OrdnerZahl; built at the mark.
char* Angezeigter_Code(int32_t mark);

// "Downloaden": Adresse = the folder number and Empfangsgeheimnis = the
// secret for a private code; the text as typed and "" for any other.
void Privat_Code_Uebernehmen(const char* code);

// Download, after the join: with a secret, the joined Speicherort + ".zip" is
// opened (every tag checked) into the archive that is unpacked.  1 when the
// archive is ready to unpack (also for a plain download); 0 when it was
// damaged or the key was wrong: nothing of it is left then.
int32_t Privat_Entsiegeln();

}  // namespace velmora
