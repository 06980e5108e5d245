// The private code: the folder number and the transfer's 80-bit secret in
// Crockford's base32, written for people to read aloud and type: no I, L, O
// or U among the characters, and what a person may type for them read back.
#include <windows.h>

#include <cstring>

#include "app/debugger.h"
#include "app/privat.h"
#include "runtime/core/kxstring.h"
#include "runtime/files/seal.h"

namespace velmora {

namespace {

const char Alphabet[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";

// The value of a typed character, -1 for one that no code holds.
int32_t Wert(char zeichen) {
  if (zeichen >= 'a' && zeichen <= 'z') zeichen = char(zeichen - 'a' + 'A');
  if (zeichen == 'O') return 0;
  if (zeichen == 'I' || zeichen == 'L') return 1;
  const char* stelle = zeichen ? std::strchr(Alphabet, zeichen) : nullptr;
  return stelle ? int32_t(stelle - Alphabet) : -1;
}

// 80 bits, the first byte's top bit first, five bits per character.
void Kodieren(const uint8_t* bytes, char* text) {
  for (int32_t i = 0; i < GeheimnisZeichen; ++i) {
    int32_t wert = 0;
    for (int32_t b = 0; b < 5; ++b) {
      int32_t bit = i * 5 + b;
      wert = wert << 1 | (bytes[bit / 8] >> (7 - bit % 8) & 1);
    }
    text[i] = Alphabet[wert];
  }
  text[GeheimnisZeichen] = 0;
}

}  // namespace

char* Geheimnis_Ziehen(int32_t mark) {
  PROZEDUR(Geheimnis_Ziehen, mark);
  Z_ uint8_t bytes[GeheimnisBytes];
  Z_ char text[GeheimnisZeichen + 1] = "";
  Z_ if (kx::RandomBytes(bytes, GeheimnisBytes)) Kodieren(bytes, text);
  Z_ SecureZeroMemory(bytes, sizeof bytes);
  Z_ return kx::ReturnString(text, -1, mark);
}

char* Privatcode(int64_t ordner, const char* geheimnis, int32_t mark) {
  PROZEDUR(Privatcode, ordner, geheimnis, mark);
  Z_ kx::StringScope scope;
  Z_ kx::Text code;
  Z_ code << (ordner > 0 ? ordner : 0);
  Z_ for (int32_t i = 0; geheimnis && geheimnis[i] && i < GeheimnisZeichen; ++i) {
    Z_ if (i % 4 == 0) code << "-";
    Z_ code << geheimnis[i];
  }
  Z_ return kx::ReturnString(code, -1, mark);
}

int32_t Privatcode_Lesen(const char* code, int64_t* ordner, char** geheimnis) {
  PROZEDUR(Privatcode_Lesen, code, ordner, geheimnis);
  // The characters that count, each with its value; the count before the
  // first dash or blank that follows one of them.
  Z_ int32_t werte[64];
  Z_ int32_t anzahl = 0;
  Z_ int32_t vorTrennung = 0;
  Z_ bool nurZiffern = true;
  Z_ for (const char* c = code ? code : ""; *c; ++c) {
    Z_ if (*c == '-' || *c == ' ' || *c == '\t') {
      Z_ if (vorTrennung == 0) vorTrennung = anzahl;
      Z_ continue;
    }
    Z_ int32_t wert = Wert(*c);
    Z_ if (wert < 0 || anzahl == 64) return 0;
    Z_ if (*c < '0' || *c > '9') nurZiffern = false;
    Z_ werte[anzahl++] = wert;
  }
  // A code of digits only is a numeric code, however long.
  Z_ if (nurZiffern || anzahl <= GeheimnisZeichen) return 0;
  // Where the typed code separates a number from the rest, that is the
  // folder number, and exactly 16 characters must follow; without such a
  // separation the last 16 characters are the secret.
  Z_ int32_t ziffern = anzahl - GeheimnisZeichen;
  Z_ if (vorTrennung > 0) {
    Z_ bool zahl = true;
    Z_ for (int32_t i = 0; i < vorTrennung; ++i) zahl = zahl && werte[i] <= 9;
    Z_ if (zahl && vorTrennung != ziffern) return 0;
  }
  Z_ int64_t nummer = 0;
  Z_ for (int32_t i = 0; i < ziffern; ++i) {
    Z_ if (werte[i] > 9 || nummer > 99999999999LL) return 0;
    Z_ nummer = nummer * 10 + werte[i];
  }
  Z_ if (nummer < 1) return 0;
  Z_ char text[GeheimnisZeichen + 1];
  Z_ for (int32_t i = 0; i < GeheimnisZeichen; ++i) text[i] = Alphabet[werte[ziffern + i]];
  Z_ text[GeheimnisZeichen] = 0;
  Z_ *ordner = nummer;
  Z_ kx::AssignString(geheimnis, text);
  Z_ return 1;
}

int32_t Geheimnis_Bytes_Lesen(const char* geheimnis, uint8_t* bytes) {
  PROZEDUR(Geheimnis_Bytes_Lesen, geheimnis, bytes);
  Z_ if (!geheimnis || std::strlen(geheimnis) != size_t(GeheimnisZeichen)) return 0;
  Z_ std::memset(bytes, 0, GeheimnisBytes);
  Z_ for (int32_t i = 0; i < GeheimnisZeichen; ++i) {
    Z_ int32_t wert = Wert(geheimnis[i]);
    Z_ if (wert < 0) return 0;
    Z_ for (int32_t b = 0; b < 5; ++b) {
      Z_ int32_t bit = i * 5 + b;
      Z_ if (wert >> (4 - b) & 1) bytes[bit / 8] = uint8_t(bytes[bit / 8] | 1 << (7 - bit % 8));
    }
  }
  Z_ return 1;
}

}  // namespace velmora
