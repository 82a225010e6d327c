// How a start ends: the one place that shows a notice.
#include "launcher/outcome.h"

#include <string>
#include <vector>

#include "launcher/layout.h"

namespace launcher {

namespace {

// The table is indexed by outcome: a row for each, in their order.
constexpr bool rowsInOrder() {
    if (OUTCOME_COUNT != static_cast<size_t>(Outcome::START_FAILED) + 1) return false;
    for (size_t i = 0; i < OUTCOME_COUNT; ++i) {
        if (static_cast<size_t>(OUTCOMES[i].outcome) != i) return false;
    }
    return true;
}
static_assert(rowsInOrder(), "a row for every outcome, in their order");

}  // namespace

std::u16string outcomeNotice(Outcome outcome, int32_t creationResult, const char* logPath) {
    const OutcomeRow& row = outcomeRow(outcome);
    if (row.notice == nullptr) return std::u16string();
    std::u16string text = row.notice;
    switch (row.detail) {
    case NoticeDetail::CREATION_RESULT:
        // Wide, like every other notice, so it reads on any system.
        for (char c : std::to_string(static_cast<long long>(creationResult))) text += static_cast<char16_t>(c);
        break;
    case NoticeDetail::OUTPUT_LOG:
        // The bootstrap class said why in the output log.
        if (logPath != nullptr) {
            std::vector<char16_t> path(static_cast<size_t>(FORMATTED_PATH_SIZE) + 1, u'\0');
            if (platform::utf8ToUtf16(logPath, path.data(), static_cast<int32_t>(path.size())) > 0) {
                text += u'\n';
                text += path.data();
            }
        }
        break;
    case NoticeDetail::NONE:
        break;
    }
    return text;
}

int finishLaunch(platform::System& system, Outcome outcome, int32_t creationResult, const char* logPath) {
    std::u16string text = outcomeNotice(outcome, creationResult, logPath);
    if (!text.empty()) system.messageBox(text.c_str(), NOTICE_CAPTION);
    return exitCode(outcome);
}

}  // namespace launcher
