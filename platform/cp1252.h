// Windows-1252, the ANSI code page of a German Windows host, as the POSIX
// side of the platform layer reads host text.
#pragma once

namespace qel::platform::detail {

// The characters of the bytes 0x80 to 0x9F; the five bytes that the code
// page leaves undefined map to the C1 control of the same value, as Windows
// does. Every other byte stands for the code point of its own value.
inline constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                             0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                             0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace qel::platform::detail
