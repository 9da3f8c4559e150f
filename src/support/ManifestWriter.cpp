#include "support/ManifestWriter.hpp"

#include <array>
#include <charconv>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "support/AppPaths.hpp"
#include "support/FileIO.hpp"
#include "support/MarkupEscape.hpp"

namespace tablor {
namespace {

constexpr std::array<std::string_view, 22> kLines = {
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?> )",
    R"(<assembly )",
    R"(   xmlns="urn:schemas-microsoft-com:asm.v1" )",
    R"(   manifestVersion="1.0">)",
    R"(<assemblyIdentity )",
    R"(    processorArchitecture="x86" )",
    R"(    version="EXEVERSION")",
    R"(    type="win32")",
    R"(    name="EXENAME"/>)",
    R"(    <description>EXEDESCRIBTION</description>)",
    R"(    <dependency>)",
    R"(    <dependentAssembly>)",
    R"(    <assemblyIdentity)",
    R"(         type="win32")",
    R"(         name="Microsoft.Windows.Common-Controls")",
    R"(         version="6.0.0.0")",
    R"(         publicKeyToken="6595b64144ccf1df")",
    R"(         language="*")",
    R"(         processorArchitecture="x86"/>)",
    R"(    </dependentAssembly>)",
    R"(    </dependency>)",
    R"(</assembly>)",
};

// Fills the placeholders of one line in a single pass, so that a value is never searched again.
void AppendFilled(std::string& out, std::string_view line, const ManifestTarget& target) {
    struct Placeholder {
        std::string_view name;
        std::string value;
    };
    const Placeholder placeholders[] = {
        {"EXENAME", EscapeMarkup(target.programName + ".exe")},
        {"EXEVERSION", std::to_string(target.major) + "." + std::to_string(target.minor) + "." +
                           std::to_string(target.revision) + ".0"},
        {"EXEDESCRIBTION", EscapeMarkup(target.description)},
    };
    std::size_t at = 0;
    while (at < line.size()) {
        bool filled = false;
        for (const Placeholder& placeholder : placeholders) {
            if (line.substr(at, placeholder.name.size()) == placeholder.name) {
                out += placeholder.value;
                at += placeholder.name.size();
                filled = true;
                break;
            }
        }
        if (!filled) out += line[at++];
    }
}

int Number(std::string_view text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

ManifestTarget ManifestTarget::ThisProgram() {
    ManifestTarget target;
    target.folder = ProgramFolder();
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    target.programName = error ? std::string("tablor") : exe.stem().string();

    // "major.minor.revision" from the build.
    const std::string_view version = TABLOR_VERSION;
    const auto firstDot = version.find('.');
    const auto secondDot = firstDot == std::string_view::npos ? firstDot : version.find('.', firstDot + 1);
    target.major = Number(version.substr(0, firstDot));
    if (firstDot != std::string_view::npos)
        target.minor = Number(version.substr(firstDot + 1, secondDot - firstDot - 1));
    if (secondDot != std::string_view::npos) target.revision = Number(version.substr(secondDot + 1));
    target.description = "Tablor";
    return target;
}

std::string ManifestPath(const ManifestTarget& target) {
    std::string folder = target.folder;
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + target.programName + ".exe.manifest";
}

std::string ManifestText(const ManifestTarget& target) {
    std::string text;
    for (const std::string_view line : kLines) {
        AppendFilled(text, line, target);
        text += "\r\n";
    }
    return text;
}

bool ApplyVisualStyles(bool& bRestart, bool& bOverwrite, const ManifestTarget& target,
                       const std::function<void()>& restart) {
    if (bRestart) bOverwrite = false;
    const std::string path = ManifestPath(target);

    std::error_code error;
    const bool existed = std::filesystem::exists(std::filesystem::symlink_status(path, error));
    if (existed && !bOverwrite) return true;

    try {
        // Renamed over the old one: a failed write never leaves the program without its manifest.
        WriteFileAtomically(path, ManifestText(target));
    } catch (...) {
        return existed;
    }
    if (bRestart && restart && std::filesystem::is_regular_file(path, error)) restart();
    return existed;
}

}  // namespace tablor
