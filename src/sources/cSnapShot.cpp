#include "sources/cSnapShot.hpp"

#include <array>
#include <optional>
#include <string_view>

#include "sources/SnapshotDefinitions.hpp"
#include "sources/SnapshotLines.hpp"
#include "support/FileStep.hpp"
#include "support/TablorError.hpp"
#include "support/TextEncoding.hpp"

namespace tablor {
namespace {

// Calls `onPart` for every part of `line` split at "*". An empty text has no parts; a text
// ending in "*" has an empty last part.
template <class OnPart>
void ForEachPart(std::string_view line, OnPart&& onPart) {
    if (line.empty()) return;
    for (;;) {
        const std::size_t star = line.find('*');
        onPart(line.substr(0, star));
        if (star == std::string_view::npos) return;
        line.remove_prefix(star + 1);
    }
}

// The first three parts of a line; a missing one reads as nothing. What follows a third "*"
// is the rest.
struct ThreeParts {
    std::array<std::string_view, 3> part;
    int count = 0;
    std::string_view rest;
    bool hasRest = false;
    std::string_view At(int index) const {
        if (index >= count) throw errors::SubscriptError();
        return part[static_cast<std::size_t>(index)];
    }
};

ThreeParts SplitThree(std::string_view line) {
    ThreeParts parts;
    if (line.empty()) return parts;
    for (std::size_t k = 0; k < 3; ++k) {
        const std::size_t star = line.find('*');
        parts.part[k] = line.substr(0, star);
        parts.count = static_cast<int>(k) + 1;
        if (star == std::string_view::npos) break;
        line.remove_prefix(star + 1);
        if (k == 2) {
            parts.rest = line;
            parts.hasRest = true;
        }
    }
    return parts;
}

}  // namespace

std::string cSnapShot::Fill(UserPrompt& prompt) {
    abortedBy_.reset();
    SnapshotLines lines;
    try {
        RunFileStep(prompt, [&] { lines = SnapshotLines::OfFile(fileName_); });
    } catch (const ReportedFailure& failure) {
        abortedBy_ = failure;
        return {};
    }
    Load(lines, prompt);
    return {};
}

std::string cSnapShot::FillFromBytes(std::string bytes, UserPrompt& prompt) {
    abortedBy_.reset();
    SnapshotLines lines(DecodeFileText(std::move(bytes)));
    Load(lines, prompt);
    return {};
}

void cSnapShot::Load(SnapshotLines& reader, UserPrompt& prompt) {
    const auto step = [&prompt](auto&& run) { RunFileStep(prompt, run); };
    lineBeingRead_ = 0;
    try {
        std::array<std::string, 4> head;
        for (auto& line : head) {
            ++lineBeingRead_;
            step([&] { line = std::string(reader.ReadLine()); });
        }

        // The first line names the server, database and user.
        lineBeingRead_ = 1;
        const ThreeParts header = SplitThree(head[0]);
        step([&] { SourceServer = std::string(header.At(0)); });
        step([&] { SourceDatabase = std::string(header.At(1)); });
        step([&] { SourceUser = std::string(header.At(2)); });

        const std::shared_ptr<cMetaData> model = MetaData();

        auto& constraints = model->Constraints();
        constraints.Clear();
        ForEachPart(head[1], [&](std::string_view part) {
            if (!part.empty()) constraints.Add(std::string(part));
        });
        auto& views = model->Views();
        views.Clear();
        ForEachPart(head[2], [&](std::string_view part) {
            if (!part.empty()) views.Add(std::string(part));
        });
        auto& routines = model->Routines();
        routines.Clear();
        ForEachPart(head[3], [&](std::string_view part) {
            if (part.empty() || part.substr(0, 3) == "dt_") return;
            const std::string name(part.substr(0, part.size() - 1));
            if (part.back() == '+') routines.Add(name, 2);
            if (part.back() == '-') routines.Add(name, 1);
        });

        auto& tables = model->Tables();
        tables.Clear();
        cMetaDataElement* current = nullptr;
        SnapshotDefinitions definitions;
        lineBeingRead_ = static_cast<long>(head.size());
        while (!reader.AtEnd()) {
            const std::string_view line = reader.ReadLine();
            ++lineBeingRead_;
            if (!line.empty() && line.front() == ':') {
                current = tables.Add(std::string(line.substr(1))).get();
                current->Fields().Reserve(reader.LinesBefore(':'));
            } else if (current == nullptr) {
                step([&] { definitions.Take(line); });
            } else {
                step([&] {
                    const ThreeParts parts = SplitThree(line);
                    const auto field = current->Fields().Add(
                        std::string(parts.At(0)), std::string(parts.At(1)), std::string(parts.At(2)));
                    // What follows the third part is the column's definition.
                    if (parts.hasRest) field->Definition = definitions.ColumnDefinition(line, parts.rest);
                });
            }
            prompt.Progress("Tables", tables.Count());
        }
        definitions.ApplyTo(*model);
    } catch (const ReportedFailure& failure) {
        // Abort: the model and the source fields keep what was loaded so far.
        abortedBy_ = failure;
    }
}

}  // namespace tablor
