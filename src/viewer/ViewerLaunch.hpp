#pragma once
#include "support/UserPrompt.hpp"

namespace tablor::gui {

class Main;
class StructureViewerFrm;

// The main window's two "View structure" commands. Each reads its source into the workspace
// under the busy panel and opens a new viewer on it. `prompt` answers the messages and the
// source's own prompts; pass the window's SourcePrompt(), which keeps the window alive while
// the source reads.
//
// The viewers they open belong to the main window: they close with it, and any still open
// when it is destroyed go with it.

// From the connection fields. A source that cannot be read (it has told the user why)
// opens no window. Returns the new viewer, or null.
StructureViewerFrm* ViewConnectionStructure(Main& window, UserPrompt& prompt);

// From the snapshot selected in the file list; "Please select a snapshot file!" when none is.
// A snapshot that loads only in part still opens, with what was loaded. Returns the new
// viewer, or null.
StructureViewerFrm* ViewSnapStructure(Main& window, UserPrompt& prompt);

}  // namespace tablor::gui
