#pragma once
// Genotype codes: one small integer per individual and locus.

namespace tarvek {

inline constexpr int kMissing = 0;  // "-" and any unknown character
inline constexpr int kCodeA = 1;    // homozygous class A
inline constexpr int kCodeB = 2;    // homozygous class B
inline constexpr int kCodeC = 3;    // dominant: not A (B or H)
inline constexpr int kCodeD = 4;    // dominant: not B (A or H)
inline constexpr int kCodeH = 5;    // heterozygote
inline constexpr int kFlagged = 6;  // flagged as a likely scoring error, "*"
inline constexpr int kCodeCount = 7;

// Letters are read case-insensitively; anything else is missing.
int letter_to_code(char letter);
// Upper-case letter of a code; "-" for missing and for any unknown code.
char code_to_letter(int code);

}  // namespace tarvek
