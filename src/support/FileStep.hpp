#pragma once
#include <utility>

#include "support/TablorError.hpp"
#include "support/UserPrompt.hpp"

namespace tablor {

// Runs one step of a file command until it succeeds or the user gives up on it: a failure is
// put to the user as an Abort/Retry/Ignore prompt. Retry runs the step again; Ignore skips it
// (false); Abort ends the command with a ReportedFailure that carries the step's error. A
// cancelled operation is never asked about.
template <class Step>
bool RunFileStep(UserPrompt& prompt, Step&& step) {
    for (;;) {
        try {
            step();
            return true;
        } catch (const OperationCancelled&) {
            throw;
        } catch (const TablorError& error) {
            switch (prompt.Ask(FailurePrompt(error.Description(), error.Number()))) {
                case PromptAnswer::Retry:
                    continue;
                case PromptAnswer::Ignore:
                    return false;
                default:
                    throw ReportedFailure(error.Number(), error.Description());
            }
        }
    }
}

}  // namespace tablor
