#pragma once

namespace kp70 {

// A label, title or notice in the two languages of the user interface (UTF-8). korean is
// nullptr where the Korean interface keeps the English text.
struct BilingualText {
    const char* english;
    const char* korean = nullptr;

    const char* In(bool inKorean) const { return inKorean && korean ? korean : english; }
};

}  // namespace kp70
