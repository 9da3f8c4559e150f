#pragma once
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/CliApp.hpp"

namespace tablor::testing {

// What `tablor-cli compare A B --definitions` said: its status and each difference as
// "name: message", each side named by its place ("first", "second") rather than its address.
inline std::pair<int, std::vector<std::string>> CompareDefinitions(const std::string& first,
                                                                   const std::string& second,
                                                                   const std::string& password) {
    std::ostringstream out, err;
    cli::CliEnvironment environment;
    environment.passwordVariable = password;
    const int status =
        cli::RunCli({"compare", first, second, "--format", "json", "--definitions"}, out, err, environment);
    if (status == cli::kTrouble) return {status, {err.str()}};
    const auto parsed = nlohmann::json::parse(out.str());
    std::vector<std::string> messages;
    for (const auto& record : parsed["differences"]) {
        std::string message =
            record["ObjectName"].get<std::string>() + ": " + record["Message"].get<std::string>();
        // The second's name may start with the first's.
        for (const auto& [side, place] : {std::pair{"object2", "second"}, std::pair{"object1", "first"}})
            if (const auto at = message.find(" on " + parsed[side].get<std::string>());
                at != std::string::npos)
                message.replace(at + 4, parsed[side].get<std::string>().size(), place);
        messages.push_back(std::move(message));
    }
    return {status, messages};
}

// `tablor-cli migrate current desired --allow-drop`'s script, handed to `apply` (which runs it on
// `current`), then what a comparison of the two still finds: the migration's status and those
// differences.
template <class Apply>
std::pair<int, std::vector<std::string>> MigrateAndCompare(const std::string& current,
                                                           const std::string& desired,
                                                           const std::string& password, Apply&& apply) {
    std::ostringstream out, err;
    cli::CliEnvironment environment;
    environment.passwordVariable = password;
    const int status = cli::RunCli({"migrate", current, desired, "--allow-drop"}, out, err, environment);
    if (status == cli::kTrouble) return {status, {err.str()}};
    apply(out.str());
    return {status, CompareDefinitions(current, desired, password).second};
}

// A snapshot of `live` written to `path`, as the `snapshot` command writes it, and then each of
// `others` compared with `live`: each must give no difference. The snapshot's names, types and
// sizes, read with the definitions, are also those that `live` read by names alone gives.
inline void ExpectAlike(const std::string& live, const std::string& path, std::vector<std::string> others,
                        const std::string& password) {
    cli::CliEnvironment environment;
    environment.passwordVariable = password;
    std::ostringstream out, err;
    ASSERT_EQ(cli::RunCli({"snapshot", live, "-o", path}, out, err, environment), cli::kNoDifferences)
        << err.str();
    EXPECT_EQ(cli::RunCli({"compare", live, path, "--column-changes"}, out, err, environment),
              cli::kNoDifferences)
        << out.str() << err.str();
    others.push_back(path);
    for (const std::string& other : others) {
        const auto [status, messages] = CompareDefinitions(live, other, password);
        EXPECT_EQ(status, cli::kNoDifferences) << other;
        EXPECT_THAT(messages, ::testing::IsEmpty()) << other;
    }
}

}  // namespace tablor::testing
