#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace marlowin {

/// The codings a response may come in that Marlowin undoes itself, for Accept-Encoding.
[[nodiscard]] std::string_view accepted_content_codings();

/**
 * Undoes a response's Content-Encoding as its body arrives: gzip, deflate (zlib or raw), and
 * where built with them br and zstd, in the reverse of the order the header lists them. As a
 * browser does, an unknown coding leaves the body as it came, and of a gzip body that holds
 * more than one member the first is read. A stream that ends before its coding says it ends
 * (its checksum included), or that is followed by bytes of no coding, is broken.
 */
class ContentDecoder {
public:
    /// Receives each piece of the decoded body; false stops the decoding (a cap was reached).
    using Sink = std::function<bool(std::string_view)>;
    enum class Result { Ok, Broken, Stopped };

    /// For the value of a Content-Encoding header; empty for none.
    explicit ContentDecoder(std::string_view content_encoding);
    ~ContentDecoder();
    ContentDecoder(const ContentDecoder&) = delete;
    ContentDecoder& operator=(const ContentDecoder&) = delete;

    /// The next bytes of the body, as they came off the wire.
    Result feed(std::string_view bytes, const Sink& out);
    /// The body has ended: Broken unless every coding ended where it should.
    Result finish(const Sink& out);

    /// One coding's decoder.
    class Stage {
    public:
        virtual ~Stage() = default;
        virtual Result feed(std::string_view bytes, const Sink& out) = 0;
        virtual Result finish(const Sink& out) = 0;
    };

private:
    Result through(std::size_t stage, std::string_view bytes, const Sink& out);
    Result finish_from(std::size_t stage, const Sink& out);

    std::vector<std::unique_ptr<Stage>> stages_;  // in the order they are undone
};

}  // namespace marlowin
