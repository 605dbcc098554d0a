#pragma once
// The Windows API as this folder uses it. The control model comes first: its
// key codes share their names with macros of the API (VK_F12), and once the
// macros exist the model's header no longer compiles.
#include "toolkit/controls.h"
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
// clang-format on
