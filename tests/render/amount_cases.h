// Amounts and the text "%.2f" gives for each, as glibc's printf writes it;
// the same literal texts are expected on every target.
#pragma once

#include <cmath>
#include <limits>

namespace qel::test {

struct AmountCase {
  double value;
  const char* text;
};

inline const AmountCase kAmountCases[] = {
    {0.0, "0.00"},
    {-0.0, "-0.00"},
    {12.5, "12.50"},
    {-3.0, "-3.00"},
    {-0.001, "-0.00"},
    {0.5, "0.50"},
    // Exact ties round to even, as glibc does in the default rounding mode.
    {0.125, "0.12"},
    {-0.125, "-0.12"},
    {0.375, "0.38"},
    // Decimal literals that are stored just below or above the tie.
    {2.355, "2.35"},
    {-2.355, "-2.35"},
    {2.675, "2.67"},
    {1.005, "1.00"},
    {0.005, "0.01"},
    {0.015, "0.01"},
    {129.145, "129.15"},
    {999.995, "1000.00"},
    {5e-324, "0.00"},
    // Large values: every integer digit, no grouping, no exponent.
    {1234567.891, "1234567.89"},
    {1e15, "1000000000000000.00"},
    {1e22, "10000000000000000000000.00"},
    {123456789012345678.0, "123456789012345680.00"},
    {1e300,
     "1000000000000000052504760255204420248704468581108159154915854115511802457988908195786371375080447864"
     "0437044438328838781769425232353604305756447921847867069828483872009265758037378302337947880900593689"
     "53234970799945081119038967640880074652742780142494579258788820056842838115669472196386865459400540160.00"},
    {std::numeric_limits<double>::max(),
     "1797693134862315708145274237317043567980705675258449965989174768031572607800285387605895586327668781"
     "7154045895351438246423432132688946418276846754670353751698604991057655128207624549009038932894407586"
     "8508455133942304583236903222948165808559332123348274797826204144723168738177180919299881250404026184"
     "124858368.00"},
    {std::numeric_limits<double>::infinity(), "inf"},
    {-std::numeric_limits<double>::infinity(), "-inf"},
    {std::numeric_limits<double>::quiet_NaN(), "nan"},
    {std::copysign(std::numeric_limits<double>::quiet_NaN(), -1.0), "-nan"},
};

}  // namespace qel::test
