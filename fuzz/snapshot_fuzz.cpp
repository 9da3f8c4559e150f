// Loads arbitrary bytes as a snapshot, answering its prompts from the input. A load that
// needed no prompt must survive a write and a second load unchanged.
#include <cstdlib>

#include "FuzzInput.hpp"
#include "sources/SnapshotWriter.hpp"
#include "sources/cSnapShot.hpp"
#include "support/TablorError.hpp"

using namespace tablor;

namespace {

class FuzzPrompt : public UserPrompt {
  public:
    explicit FuzzPrompt(std::uint8_t script) : script_(script) {}
    PromptAnswer Ask(const PromptMessage&) override {
        ++asked;
        // Never retry twice in a row: a failure that repeats would ask forever.
        const int choice = (script_ >> (2 * (asked % 4))) & 3;
        if (choice == 2 && !lastRetry_) {
            lastRetry_ = true;
            return PromptAnswer::Retry;
        }
        lastRetry_ = false;
        return choice == 0 ? PromptAnswer::Abort : PromptAnswer::Ignore;
    }
    std::optional<std::string> Input(std::string_view, std::string_view, std::string_view) override {
        return {};
    }
    int asked = 0;

  private:
    std::uint8_t script_;
    bool lastRetry_ = false;
};

std::string Written(const cSnapShot& snapshot, const cMetaData& model) {
    return FormatSnapshot({snapshot.SourceServer, snapshot.SourceDatabase, snapshot.SourceUser}, model);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    FuzzPrompt prompt(input.Byte());
    cSnapShot snapshot;
    snapshot.FillFromBytes(std::string(input.Rest()), prompt);
    if (prompt.asked != 0) return 0;

    // What was read without trouble can always be written and read back the same. (A server
    // name that starts with a byte-order mark loses it on reading: files may begin with one.)
    if (snapshot.SourceServer.rfind("\xEF\xBB\xBF", 0) == 0) return 0;
    const std::string first = Written(snapshot, *snapshot.MetaData());
    cSnapShot again;
    FuzzPrompt quiet(0);
    again.FillFromBytes(first, quiet);
    if (quiet.asked != 0 || Written(again, *again.MetaData()) != first) std::abort();
    return 0;
}
