#include "genotype/genotype_codes.hpp"

namespace tarvek {

int letter_to_code(char letter) {
  switch (letter) {
    case 'A': case 'a': return kCodeA;
    case 'B': case 'b': return kCodeB;
    case 'C': case 'c': return kCodeC;
    case 'D': case 'd': return kCodeD;
    case 'H': case 'h': return kCodeH;
    default: return kMissing;
  }
}

char code_to_letter(int code) {
  switch (code) {
    case kCodeA: return 'A';
    case kCodeB: return 'B';
    case kCodeC: return 'C';
    case kCodeD: return 'D';
    case kCodeH: return 'H';
    case kFlagged: return '*';
    default: return '-';
  }
}

}  // namespace tarvek
