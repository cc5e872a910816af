#include "server/StoreCopy.h"

bool CopyStore(InfoStore& from, InfoStore& to, CopyCount& copied, std::string& error) {
    if (to.CountSubmissions() != 0) {
        error = "the target already holds submissions";
        return false;
    }
    constexpr int Batch = 20000;
    for (int64_t last = 0;;) {
        const std::vector<Submission> rows = from.SubmissionsAfter(last, Batch, last);
        if (rows.empty()) break;
        if (!to.AddMany(rows)) {
            error = "cannot write submissions";
            return false;
        }
        copied.submissions += int64_t(rows.size());
    }
    for (int64_t last = 0;;) {
        const std::vector<Feedback> rows = from.FeedbackAfter(last, Batch, last);
        if (rows.empty()) break;
        for (const Feedback& feedback : rows) {
            if (!to.AddFeedback(feedback)) {
                error = "cannot write feedback";
                return false;
            }
        }
        copied.feedback += int64_t(rows.size());
    }
    if (from.CountSubmissions() != copied.submissions || from.CountFeedback() != copied.feedback) {
        error = "the source changed while it was copied";
        return false;
    }
    return true;
}
