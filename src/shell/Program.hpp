#pragma once

namespace tablor::gui {

// Starts the desktop program and runs it until its window closes. Without a display the
// arguments go to the command line instead, so scripts still get their comparison.
int RunProgram(int argc, char** argv);

}  // namespace tablor::gui
