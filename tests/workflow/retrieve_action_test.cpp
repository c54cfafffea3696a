#include "workflow/retrieve_action.h"

#include <gtest/gtest.h>

#include "tests/workflow/workflow_fakes.h"

namespace marlowin {
namespace {

using testing::MemoryForm;
using testing::RecordingNotices;

TEST(FinishRetrieve, WritesThePageBufferAndShowsOneNotice) {
    const struct {
        std::string document;
        Notice notice;
    } rows[] = {
        {"<title>x</title>", Notice::RetrieveDone},
        {"", Notice::RetrieveFailed},
        {" \r\n", Notice::RetrieveDone},  // only spaces and line breaks still arrived
    };
    for (const auto& row : rows) {
        MemoryForm form;
        form.values[Field::Text2] = "earlier page";
        form.values[Field::Text3] = "earlier title";
        RecordingNotices notices;
        finish_retrieve(form, notices, row.document);
        EXPECT_EQ(form.values[Field::Text2], row.document);
        EXPECT_EQ(form.values[Field::Text3], "earlier title");
        EXPECT_EQ(notices.shown, std::vector<Notice>{row.notice});
    }
}

TEST(FinishRetrieve, ChecksReadThePageBufferNotTheFetchedValue) {
    // A buffer that drops what is written into it stays empty although a page arrived:
    // the notice follows the buffer.
    struct DroppingForm : MemoryForm {
        void write(Field field, std::string text) override {
            if (field != Field::Text2) {
                MemoryForm::write(field, std::move(text));
            }
        }
    } form;
    RecordingNotices notices;
    finish_retrieve(form, notices, "page");
    EXPECT_EQ(notices.shown, std::vector<Notice>{Notice::RetrieveFailed});
}

}  // namespace
}  // namespace marlowin
