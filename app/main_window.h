// The main window `Imagex`: the program's start-up object and only visible window.
// Chief header of the main-window subsystem; the platform-free parts are the control tree
// (control_tree.h) and the caption order, the Win32 parts live in main_window_win32.h.
#pragma once
#include "app/control_tree.h"
