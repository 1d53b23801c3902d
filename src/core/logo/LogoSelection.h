#pragma once

#include <string>
#include <vector>

namespace kp70 {

// A selection of stored images to print, as tokens: a value t <= 256 starts a range whose
// last image is the next token; a value t > 256 stands for the single image t - 256.
struct LogoSelection {
    std::vector<int> tokens;
    int imageCount = 0;  // how many images the selection prints
};

// Checks a selection text such as "1,3,5-9": only digits, "-" and ","; no ",," or "--";
// not empty and not ","; after one leading and one trailing "," are removed, every item
// is a number 1..255 or two numbers 1..255 around a "-" (a number is read up to its first
// non-digit; an empty number counts as 0).
bool ValidateSelection(const std::string& text);

// Turns a text that passed ValidateSelection into tokens: an item n gives n + 256; an item
// a-b gives min(a, b) and max(a, b) (b read up to the next non-digit, so "1-2-3" is 1..2).
LogoSelection ParseSelection(const std::string& text);

// The images a selection names, in its order, a range from its first image to its last:
// "3,1-2" is 3, 1, 2 (imageCount of them).
std::vector<int> SelectedImages(const LogoSelection& selection);

}  // namespace kp70
