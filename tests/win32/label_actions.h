#pragma once
// The maker's label as a user meets it: the pointer over it and away again, then a click. What it
// shows at each step is printed: its text colour (as its dialog answers the label's colour request),
// whether it is underlined, and the cursor it asks for.

#include <windows.h>

#include <atomic>
#include <string>

namespace wharfling::probe {

// openedFile: where the program the click starts writes what it was given; printed as "opened"
// once it is there, or as "nothing" once a message box has been answered (messagesSeen grew) or
// a few seconds have passed.
void ExerciseLabel(HWND dialog, const std::string& openedFile, const std::atomic<int>& messagesSeen);

// The "record" command of the probe: writes its arguments, joined by "|", to file.
int Record(const std::string& file, const std::string& text);

}  // namespace wharfling::probe
