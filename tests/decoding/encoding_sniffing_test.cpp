#include "decoding/encoding_sniffing.h"
#include "decoding/html_decoding.h"

#include <gtest/gtest.h>

#include <string>

namespace marlowin {
namespace {

std::string name_of(const Encoding* encoding) {
    return encoding != nullptr ? std::string(encoding->name) : "none";
}

TEST(Prescan, FindsTheDeclarationAsBrowsersDo) {
    const struct {
        std::string html;
        const char* expected;
    } rows[] = {
        {"<META CHARSET='Shift_JIS'>", "Shift_JIS"},
        {std::string(1000, ' ') + "<meta charset=gbk>", "GBK"},  // the first 1024 bytes only
        {std::string(1024, ' ') + "<meta charset=gbk>", "none"},
        {"<meta charset = ' euc-kr ' >", "EUC-KR"},
        {"<meta/charset=gb2312>", "GBK"},
        {"<meta content='text/html;charset=\"big5\"' http-equiv=content-type>", "Big5"},
        {"<meta http-equiv=Content-Type content=\"text/html; CHARSET = koi8-r\">", "KOI8-R"},
        // content without the http-equiv pragma does not count
        {"<meta content=\"text/html; charset=gbk\">", "none"},
        {"<meta name=description content=\"charset=gbk\">", "none"},
        // a charset attribute wins over content in the same element, whichever comes first
        {"<meta content=\"text/html; charset=big5\" charset=gbk http-equiv=content-type>", "GBK"},
        // a charset attribute naming no encoding fails the element, before content or after
        {"<meta charset=bogus content=\"text/html; charset=gbk\" http-equiv=Content-Type>", "none"},
        {"<meta content=\"text/html; charset=gbk\" charset=bogus http-equiv=Content-Type>", "none"},
        // the first of a repeated attribute counts
        {"<meta charset=gbk charset=big5>", "GBK"},
        {"<meta charset=utf-16>", "UTF-8"},
        {"<meta charset=x-user-defined>", "windows-1252"},
        {"<meta charset=nonsense><meta charset=gbk>", "GBK"},
        {"<!--><meta charset=gbk>", "GBK"},
        {"<!DOCTYPE html><html lang=zh><head><title>x</title><meta charset=gbk>", "GBK"},
        {"<div title=\"<meta charset=big5>\"><meta charset=gbk>", "GBK"},
        {R"(<?xml version="1.0" encoding="big5"?><meta charset=gbk>)", "GBK"},
        {"</p title=\"<meta charset=big5>\"><meta charset=gbk>", "GBK"},
        {"<metas charset=gbk>", "none"},
        {"<meta charset=gbk", "none"},  // runs off the end
        {"<meta charset=\"gbk", "none"},
        {"<!-- <meta charset=gbk>", "none"},  // an unclosed comment hides everything
    };
    for (const auto& row : rows) {
        EXPECT_EQ(name_of(prescan_for_meta_charset(row.html)), row.expected) << row.html;
    }
}

// The XML declaration, read with the same label rules as a <meta>.
TEST(XmlDeclaration, NamesTheEncodingAtTheStartOnly) {
    const struct {
        const char* document;
        const char* expected;
    } rows[] = {
        {R"(<?xml version="1.0" encoding="euc-kr"?><rss>)", "EUC-KR"},
        {"<?xml version='1.0' encoding = 'GB2312' standalone='yes'?>", "GBK"},
        {R"(<?xml version="1.0" encoding="UTF-16"?>)", "UTF-8"},
        {R"(<?xml version="1.0" encoding="x-user-defined"?>)", "windows-1252"},
        {R"(<?xml version="1.0"?>)", "none"},
        {R"(<?xml version="1.0" encoding="nonsense"?>)", "none"},
        {R"( <?xml version="1.0" encoding="big5"?>)", "none"},  // not at the very start
        {R"(<?xml version="1.0" encoding="big5")", "none"},     // never closed
        {R"(<!-- <?xml version="1.0" encoding="big5"?> -->)", "none"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(name_of(xml_declaration_charset(row.document)), row.expected) << row.document;
    }
}

// Pages built to make a scan quadratic: one <meta> with 600,000 attributes (each once looked
// up among those seen before, it took minutes), and hundreds of thousands of unclosed
// elements and comments. Each decodes, whatever its header says, in a time that grows with its
// length alone; the suite's time-out catches one that does not.
TEST(LateMetaScan, HostilePagesDecodeInLinearTime) {
    std::string attributes = "<html><head><meta";
    for (int i = 0; i < 600000; ++i) {
        attributes += " a" + std::to_string(i);
    }
    attributes += "><title>quad</title></head></html>";
    std::string unclosed;
    while (unclosed.size() < (std::size_t{8} << 20)) {
        unclosed += "<meta <!-- <a b=c <script <meta charset=";
    }
    for (const std::string* page : {&attributes, &unclosed}) {
        for (const char* type :
             {"text/html", "text/html; charset=iso-8859-1", "text/html; charset=utf-8"}) {
            EXPECT_EQ(decode_html_bytes(*page + "\xFF", type).text.size(), page->size() + 2)
                << type;
        }
    }
}

TEST(ContentTypeCharset, ReadsTheParameter) {
    const struct {
        const char* header;
        const char* expected;
    } rows[] = {
        {"text/html;charset=GB2312", "GBK"},
        {"text/html; charset=\"big5\"", "Big5"},
        {"text/html; foo=bar; charset=utf-8", "UTF-8"},
        {"text/html; charset=utf-8; charset=gbk", "UTF-8"},
        {R"(text/html; charset="g\bk")", "GBK"},
        {"text/html; charset=unknown", "none"},
        {"text/html; charset=", "none"},
        {"text/html; CHARSET=iso-8859-1", "windows-1252"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(name_of(charset_from_content_type(row.header)), row.expected) << row.header;
    }
}

}  // namespace
}  // namespace marlowin
