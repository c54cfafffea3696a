#include "workflow/notice.h"

namespace marlowin {

std::string_view notice_text(Notice notice) {
    switch (notice) {
        case Notice::RetrieveDone:
            return "检索完毕！";
        case Notice::RetrieveFailed:
            return "对不起，检索失败！";
        case Notice::ExtractWithoutPage:
            return "对不起，检索失败，不能进行提取！";
        case Notice::ExtractNothing:
            return "对不起，未提取到内容！";
        case Notice::ExtractDone:
            return "提取成功！";
    }
    return {};
}

}  // namespace marlowin
