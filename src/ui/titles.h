#pragma once
// The application's title, which its message boxes carry, and the main
// window's caption. They differ in the minor version: both are meant as they
// are.
namespace quarnel {

inline constexpr char kApplicationTitle[] = "Quarnel  V1.3";
inline constexpr char kMainWindowCaption[] = "Quarnel  V1.31";

}  // namespace quarnel
