#pragma once

#include <string>

namespace tolvar {

// What a picture of the program's resources shows, in words, for a screen reader; empty for a
// picture without one. The texts live beside the pictures (resources/pictures/texts).
std::string PictureText(const std::string& name);

} // namespace tolvar
