#include <gtest/gtest.h>

#include "genotype/genotype_codes.hpp"

namespace tarvek {
namespace {

TEST(GenotypeCodes, LettersReadCaseInsensitivelyAndUnknownIsMissing) {
  const std::string letters = "AaBbCcDdHh-U*0 x";
  const int expected[] = {1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 0, 0, 0, 0, 0, 0};
  for (std::size_t i = 0; i < letters.size(); ++i)
    EXPECT_EQ(letter_to_code(letters[i]), expected[i]) << "letter '" << letters[i] << "'";
}

TEST(GenotypeCodes, CodesWriteUpperCaseAndFlaggedAsStar) {
  EXPECT_EQ(std::string({code_to_letter(0), code_to_letter(1), code_to_letter(2),
                         code_to_letter(3), code_to_letter(4), code_to_letter(5),
                         code_to_letter(6), code_to_letter(7), code_to_letter(-1)}),
            "-ABCDH*--");
}

}  // namespace
}  // namespace tarvek
