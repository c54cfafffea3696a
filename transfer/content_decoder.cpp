#include "transfer/content_decoder.h"

#include <zlib.h>

#if defined(MARLOWIN_HAVE_BROTLI)
#include <brotli/decode.h>
#endif
#if defined(MARLOWIN_HAVE_ZSTD)
#include <zstd.h>
#endif

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "base/ascii.h"
#include "base/c_handle.h"

namespace marlowin {

namespace {

using Result = ContentDecoder::Result;
using Sink = ContentDecoder::Sink;

constexpr std::size_t kPiece = std::size_t{64} << 10;

// gzip and deflate. A gzip body's first member is the page, as browsers read it: another
// member after it is not read, other bytes after it make it broken. deflate is zlib's format
// or, as some servers send it, bare deflate, told apart by the zlib header.
class ZlibStage final : public ContentDecoder::Stage {
public:
    explicit ZlibStage(bool gzip) : gzip_(gzip) {}
    ~ZlibStage() override {
        if (started_) {
            inflateEnd(&stream_);
        }
    }
    ZlibStage(const ZlibStage&) = delete;
    ZlibStage& operator=(const ZlibStage&) = delete;

    Result feed(std::string_view bytes, const Sink& out) override {
        if (started_) {
            return inflate_all(bytes, out);
        }
        if (!gzip_ && held_.size() + bytes.size() < 2) {
            held_.append(bytes);  // deflate's first two bytes tell its format
            return Result::Ok;
        }
        const std::string joined = std::exchange(held_, {}).append(bytes);
        if (!start(joined)) {
            return Result::Broken;
        }
        return inflate_all(joined, out);
    }

    Result finish(const Sink& /*out*/) override {
        if (!started_) {
            return held_.empty() ? Result::Ok : Result::Broken;  // empty, or one byte
        }
        // A gzip member needs its checksum and length too: only then does zlib say it ended.
        return ended_ && (after_.empty() || ignoring_) ? Result::Ok : Result::Broken;
    }

private:
    bool start(std::string_view head) {
        int window_bits = 15 + 16;
        if (!gzip_) {
            const auto first = static_cast<unsigned char>(head[0]);
            const auto second = static_cast<unsigned char>(head[1]);
            const bool zlib_header = (first & 0x0F) == 8 && (first * 256 + second) % 31 == 0;
            window_bits = zlib_header ? 15 : -15;
        }
        started_ = inflateInit2(&stream_, window_bits) == Z_OK;
        return started_;
    }

    Result inflate_all(std::string_view bytes, const Sink& out) {
        if (ended_) {
            return after_end(bytes);
        }
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
        stream_.avail_in = static_cast<uInt>(bytes.size());
        while (stream_.avail_in > 0 && !ended_) {
            std::array<char, kPiece> piece;  // NOLINT(cppcoreguidelines-pro-type-member-init)
            stream_.next_out = reinterpret_cast<Bytef*>(piece.data());
            stream_.avail_out = static_cast<uInt>(piece.size());
            const uInt in_before = stream_.avail_in;
            const int code = inflate(&stream_, Z_NO_FLUSH);
            if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR) {
                return Result::Broken;
            }
            ended_ = code == Z_STREAM_END;
            const std::size_t produced = piece.size() - stream_.avail_out;
            if (produced > 0 && !out(std::string_view(piece.data(), produced))) {
                return Result::Stopped;
            }
            if (produced == 0 && stream_.avail_in == in_before) {
                break;  // no progress: more input is needed
            }
        }
        if (!ended_) {
            return Result::Ok;
        }
        return after_end(
            std::string_view(reinterpret_cast<const char*>(stream_.next_in), stream_.avail_in));
    }

    // Bytes after the end of the stream: a second gzip member is not read, anything else
    // means the body is not what its coding says.
    Result after_end(std::string_view rest) {
        if (ignoring_) {
            return Result::Ok;
        }
        after_.append(rest.substr(0, 2 - std::min<std::size_t>(after_.size(), 2)));
        if (after_.empty()) {
            return Result::Ok;
        }
        if (gzip_ && std::string_view("\x1F\x8B").starts_with(after_)) {
            ignoring_ = after_.size() == 2;
            return Result::Ok;
        }
        return Result::Broken;
    }

    bool gzip_;
    bool started_ = false;
    bool ended_ = false;
    bool ignoring_ = false;
    std::string held_;
    std::string after_;
    z_stream stream_{};
};

#if defined(MARLOWIN_HAVE_BROTLI)
class BrotliStage final : public ContentDecoder::Stage {
public:
    Result feed(std::string_view bytes, const Sink& out) override {
        if (!state_) {
            return Result::Broken;
        }
        if (ended_) {
            return bytes.empty() ? Result::Ok : Result::Broken;
        }
        fed_ = fed_ || !bytes.empty();
        const auto* next_in = reinterpret_cast<const std::uint8_t*>(bytes.data());
        std::size_t available_in = bytes.size();
        for (;;) {
            std::array<char, kPiece> piece;  // NOLINT(cppcoreguidelines-pro-type-member-init)
            auto* next_out = reinterpret_cast<std::uint8_t*>(piece.data());
            std::size_t available_out = piece.size();
            const BrotliDecoderResult result = BrotliDecoderDecompressStream(
                state_.get(), &available_in, &next_in, &available_out, &next_out, nullptr);
            const std::size_t produced = piece.size() - available_out;
            if (produced > 0 && !out(std::string_view(piece.data(), produced))) {
                return Result::Stopped;
            }
            switch (result) {
                case BROTLI_DECODER_RESULT_SUCCESS:
                    ended_ = true;
                    return available_in == 0 ? Result::Ok : Result::Broken;
                case BROTLI_DECODER_RESULT_NEEDS_MORE_INPUT:
                    return Result::Ok;
                case BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT:
                    continue;
                default:
                    return Result::Broken;
            }
        }
    }
    // An empty body is an empty page, as with gzip.
    Result finish(const Sink& /*out*/) override {
        return ended_ || !fed_ ? Result::Ok : Result::Broken;
    }

private:
    CHandle<BrotliDecoderState, BrotliDecoderDestroyInstance> state_{
        BrotliDecoderCreateInstance(nullptr, nullptr, nullptr)};
    bool ended_ = false;
    bool fed_ = false;
};
#endif

#if defined(MARLOWIN_HAVE_ZSTD)
// Frames one after another, as zstd itself reads them; the body must end with a whole frame.
// A frame's declared size is checked here: libzstd checks it only when the frame's header came
// in one piece, and how a body is cut into pieces must not decide whether it is broken.
class ZstdStage final : public ContentDecoder::Stage {
    // The longest frame header (magic, descriptor, window, dictionary id, content size); zstd
    // names it only in its unstable API.
    static constexpr std::size_t kZstdHeaderMax = 18;

public:
    ZstdStage() {
        // The window browsers allow (8 MiB, as RFC 8878 asks of HTTP): a frame that declares a
        // larger one would make the decoder hold that much.
        if (stream_ && ZSTD_isError(ZSTD_DCtx_setParameter(stream_.get(), ZSTD_d_windowLogMax,
                                                           kMaxWindowLog)) != 0U) {
            stream_.reset();
        }
    }

    Result feed(std::string_view bytes, const Sink& out) override {
        if (!stream_) {
            return Result::Broken;
        }
        fed_ = fed_ || !bytes.empty();
        ZSTD_inBuffer in{bytes.data(), bytes.size(), 0};
        while (in.pos < in.size) {
            const std::size_t from = in.pos;
            std::array<char, kPiece> piece;  // NOLINT(cppcoreguidelines-pro-type-member-init)
            ZSTD_outBuffer output{piece.data(), piece.size(), 0};
            const std::size_t code = ZSTD_decompressStream(stream_.get(), &output, &in);
            if (ZSTD_isError(code) != 0U) {
                return Result::Broken;
            }
            if (head_.size() < kZstdHeaderMax) {
                head_.append(
                    bytes.substr(from, std::min(kZstdHeaderMax - head_.size(), in.pos - from)));
            }
            produced_ += output.pos;
            if (output.pos > 0 && !out(std::string_view(piece.data(), output.pos))) {
                return Result::Stopped;
            }
            frame_ended_ = code == 0;
            if (frame_ended_) {
                const unsigned long long declared =
                    ZSTD_getFrameContentSize(head_.data(), head_.size());
                if (declared != ZSTD_CONTENTSIZE_UNKNOWN && declared != ZSTD_CONTENTSIZE_ERROR &&
                    declared != produced_) {
                    return Result::Broken;
                }
                head_.clear();  // a next frame may follow
                produced_ = 0;
            }
        }
        return Result::Ok;
    }
    Result finish(const Sink& /*out*/) override {
        return frame_ended_ || !fed_ ? Result::Ok : Result::Broken;
    }

private:
    static constexpr int kMaxWindowLog = 23;
    CHandle<ZSTD_DStream, ZSTD_freeDStream> stream_{ZSTD_createDStream()};
    bool fed_ = false;
    std::string head_;  // the current frame's first bytes, which hold its declared size
    unsigned long long produced_ = 0;
    bool frame_ended_ = false;
};
#endif

std::unique_ptr<ContentDecoder::Stage> stage_for(std::string_view coding) {
    if (coding == "gzip" || coding == "x-gzip") {
        return std::make_unique<ZlibStage>(true);
    }
    if (coding == "deflate") {
        return std::make_unique<ZlibStage>(false);
    }
#if defined(MARLOWIN_HAVE_BROTLI)
    if (coding == "br") {
        return std::make_unique<BrotliStage>();
    }
#endif
#if defined(MARLOWIN_HAVE_ZSTD)
    if (coding == "zstd") {
        return std::make_unique<ZstdStage>();
    }
#endif
    return nullptr;
}

}  // namespace

std::string_view accepted_content_codings() {
#if defined(MARLOWIN_HAVE_BROTLI) && defined(MARLOWIN_HAVE_ZSTD)
    return "gzip, deflate, br, zstd";
#elif defined(MARLOWIN_HAVE_BROTLI)
    return "gzip, deflate, br";
#elif defined(MARLOWIN_HAVE_ZSTD)
    return "gzip, deflate, zstd";
#else
    return "gzip, deflate";
#endif
}

ContentDecoder::ContentDecoder(std::string_view content_encoding) {
    while (!content_encoding.empty()) {
        const std::size_t comma = content_encoding.find(',');
        std::string coding(content_encoding.substr(0, comma));
        content_encoding = comma == std::string_view::npos ? std::string_view()
                                                           : content_encoding.substr(comma + 1);
        std::erase_if(coding, ascii::is_whitespace);
        std::transform(coding.begin(), coding.end(), coding.begin(), ascii::to_lower);
        if (coding.empty() || coding == "identity") {
            continue;
        }
        std::unique_ptr<Stage> stage = stage_for(coding);
        if (!stage) {
            stages_.clear();  // a coding no browser knows: the body is shown as it came
            return;
        }
        stages_.insert(stages_.begin(), std::move(stage));  // the last applied is undone first
    }
}

ContentDecoder::~ContentDecoder() = default;

ContentDecoder::Result ContentDecoder::feed(std::string_view bytes, const Sink& out) {
    return through(0, bytes, out);
}

ContentDecoder::Result ContentDecoder::finish(const Sink& out) {
    return finish_from(0, out);
}

ContentDecoder::Result ContentDecoder::through(std::size_t stage, std::string_view bytes,
                                               const Sink& out) {
    if (stage == stages_.size()) {
        return out(bytes) ? Result::Ok : Result::Stopped;
    }
    Result inner = Result::Ok;
    const Result own = stages_[stage]->feed(bytes, [&](std::string_view piece) {
        inner = through(stage + 1, piece, out);
        return inner == Result::Ok;
    });
    return inner != Result::Ok ? inner : own;
}

ContentDecoder::Result ContentDecoder::finish_from(std::size_t stage, const Sink& out) {
    if (stage == stages_.size()) {
        return Result::Ok;
    }
    Result inner = Result::Ok;
    const Result own = stages_[stage]->finish([&](std::string_view piece) {
        inner = through(stage + 1, piece, out);
        return inner == Result::Ok;
    });
    if (inner != Result::Ok) {
        return inner;
    }
    return own != Result::Ok ? own : finish_from(stage + 1, out);
}

}  // namespace marlowin
