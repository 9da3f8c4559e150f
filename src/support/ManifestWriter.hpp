#pragma once
#include <functional>
#include <string>

namespace tablor {

// The application manifest that asks Windows for the current visual style of the common
// controls. Only Windows reads application manifests, and only beside a program it starts,
// so the Linux program never calls ApplyVisualStyles at start: a manifest there would be a
// stray file that nothing reads, and the restart that follows a new one would gain nothing.
// The writer is kept as a plain file operation for a build where the platform reads it.

// The program a manifest is written for.
struct ManifestTarget {
    std::string folder;       // the program's folder
    std::string programName;  // the program's file name without extension
    int major = 0;
    int minor = 0;
    int revision = 0;
    std::string description;  // the program's file description; may be empty

    // This program: its folder, its name, the project's version, "Tablor".
    static ManifestTarget ThisProgram();
};

// folder + "/" + programName + ".exe.manifest".
std::string ManifestPath(const ManifestTarget& target);

// The 22 lines, each ending in CR LF, with EXENAME, EXEVERSION and EXEDESCRIBTION filled in.
// Values are put in once and escaped for XML: a description holding a placeholder's name or
// "<" or "&" stays as written and keeps the file well-formed.
std::string ManifestText(const ManifestTarget& target);

// True when a manifest already existed at the call; false when there was none and it was
// written now. With bRestart true, bOverwrite is forced to false (the caller's too), and
// `restart` runs after a new manifest is written; only after one that is really there, so a
// folder that cannot be written to can never restart the program over and over. With
// bOverwrite true an existing manifest is replaced, whole or not at all. Failures are
// ignored and reported nowhere: a manifest that cannot be written is simply missing.
bool ApplyVisualStyles(bool& bRestart, bool& bOverwrite, const ManifestTarget& target,
                       const std::function<void()>& restart);

}  // namespace tablor
