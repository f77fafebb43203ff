// Resource paths of the program's pictures. They are compiled into each
// executable by ordalyn_add_app_resources() (src/app/resources/CMakeLists.txt).
#pragma once

#include <array>

namespace ordalyn::appimages {

// The seven 16x16 images of the actions, by index.
inline constexpr std::array<const char*, 7> kActionImages = {
    ":/images/action0.png",  // red square (stop)
    ":/images/action1.png",  // green triangle pointing right (start)
    ":/images/action2.png",  // floppy disk (save)
    ":/images/action3.png",  // telephone handset (devices)
    ":/images/action4.png",  // blank page (clear)
    ":/images/action5.png",  // question mark in a speech bubble (help)
    ":/images/action6.png",  // blue "i" sign (info)
};

// 32x32, transparent: black exclamation mark in an orange triangle.
inline constexpr const char* kWarningImage = ":/images/warning.png";
// 32x32, transparent: white question mark on a blue disc.
inline constexpr const char* kQuestionImage = ":/images/question.png";
// 120x140 baseline JPEG: the product's emblem.
inline constexpr const char* kEmblemImage = ":/images/emblem.jpg";
// 150x20 uncompressed 16-colour bitmap: the maker's wordmark.
inline constexpr const char* kMakerWordmarkImage = ":/images/marbleknot.bmp";
// 250x44 baseline JPEG: the product name as a wordmark.
inline constexpr const char* kProductWordmarkImage = ":/images/wordmark.jpg";

}  // namespace ordalyn::appimages
