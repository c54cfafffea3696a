#include "workflow/retrieve_action.h"

#include <gtest/gtest.h>

#include "tests/workflow/workflow_fakes.h"
#include "workflow/transfer_error.h"

namespace marlowin {
namespace {

using testing::MemoryForm;
using testing::RecordingNotices;
using testing::ScriptedTransfer;

struct RetrieveCase {
    const char* name;
    std::string document;
    Notice notice;
};

void PrintTo(const RetrieveCase& c, std::ostream* os) {
    *os << c.name;
}

class RetrieveOutcome : public ::testing::TestWithParam<RetrieveCase> {};

TEST_P(RetrieveOutcome, WritesThePageBufferAndShowsOneNotice) {
    MemoryForm form;
    form.values[Field::Text1] = "http://127.0.0.1/";
    form.values[Field::Text2] = "earlier page";
    form.values[Field::Text3] = "earlier title";
    ScriptedTransfer inet1;
    inet1.will_return(GetParam().document);
    RecordingNotices notices;

    retrieve(form, inet1, notices);

    EXPECT_EQ(form.values[Field::Text2], GetParam().document);
    EXPECT_EQ(form.values[Field::Text3], "earlier title");
    EXPECT_EQ(notices.shown, std::vector<Notice>{GetParam().notice});
    ASSERT_EQ(inet1.protocols.size(), 1u);
    EXPECT_EQ(static_cast<int>(inet1.protocols[0]), 4);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, RetrieveOutcome,
    ::testing::Values(RetrieveCase{"Page", "<title>x</title>", Notice::RetrieveDone},
                      RetrieveCase{"NothingArrived", "", Notice::RetrieveFailed},
                      RetrieveCase{"OnlySpaces", "   ", Notice::RetrieveDone},
                      RetrieveCase{"OnlyLineBreaks", "\r\n\n", Notice::RetrieveDone}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Retrieve, HandsTheAddressOverExactlyAsTyped) {
    for (const std::string address : {"  http://127.0.0.1/a b  ", "", "\t127.0.0.1\n"}) {
        MemoryForm form;
        form.values[Field::Text1] = address;
        ScriptedTransfer inet1;
        inet1.will_return("x");
        RecordingNotices notices;
        retrieve(form, inet1, notices);
        ASSERT_EQ(inet1.addresses, std::vector<std::string>{address});
    }
}

TEST(Retrieve, ChecksReadThePageBufferNotTheFetchedValue) {
    // A buffer that drops what is written into it stays empty although a page arrived:
    // the notice follows the buffer.
    struct DroppingForm : testing::MemoryForm {
        void write(Field field, std::string text) override {
            if (field != Field::Text2) {
                MemoryForm::write(field, std::move(text));
            }
        }
    } form;
    ScriptedTransfer inet1;
    inet1.will_return("page");
    RecordingNotices notices;
    retrieve(form, inet1, notices);
    EXPECT_EQ(notices.shown, std::vector<Notice>{Notice::RetrieveFailed});
}

TEST(Retrieve, AnErrorLeavesTheEarlierPageAndShowsNoNotice) {
    MemoryForm form;
    form.values[Field::Text1] = "http://127.0.0.1/first";
    ScriptedTransfer inet1;
    inet1.will_return("<title>first</title>");
    inet1.will_throw(TransferError(404, "服务器返回 404（未找到）"));
    RecordingNotices notices;

    retrieve(form, inet1, notices);
    form.values[Field::Text1] = "http://127.0.0.1/missing";
    try {
        retrieve(form, inet1, notices);
        FAIL() << "the error must leave the action";
    } catch (const TransferError& error) {
        EXPECT_EQ(error.number(), 404);
        EXPECT_EQ(error.description(), "服务器返回 404（未找到）");
    }

    EXPECT_EQ(form.values[Field::Text2], "<title>first</title>");
    EXPECT_EQ(notices.shown, std::vector<Notice>{Notice::RetrieveDone});
    EXPECT_EQ(inet1.protocols.size(), 2u) << "the protocol is set on every retrieval";
}

TEST(Retrieve, CancelLeavesThePageBufferAndShowsNothing) {
    MemoryForm form;
    form.values[Field::Text2] = "kept";
    ScriptedTransfer inet1;
    inet1.will_throw(TransferCancelled());
    RecordingNotices notices;
    EXPECT_THROW(retrieve(form, inet1, notices), TransferCancelled);
    EXPECT_EQ(form.values[Field::Text2], "kept");
    EXPECT_TRUE(notices.shown.empty());
}

}  // namespace
}  // namespace marlowin
