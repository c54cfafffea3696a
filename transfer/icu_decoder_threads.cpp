#include <algorithm>
#include <future>
#include <thread>
#include <vector>

#include "transfer/icu_decoder.h"

namespace marlowin {

namespace {

// Pages of several megabytes are decoded in pieces, one per core. A piece may only start where
// a character starts (the encoding's PieceStart).
constexpr std::size_t kPieceMinimum = std::size_t{4} << 20;

std::vector<std::string_view> split_into_pieces(std::string_view bytes, PieceStart rule) {
    const std::size_t cores = std::max(1U, std::min(std::thread::hardware_concurrency(), 8U));
    const std::size_t count = std::min(cores, bytes.size() / kPieceMinimum);
    if (rule == PieceStart::Never || count < 2) {
        return {bytes};
    }
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t i = 1; i < count; ++i) {
        std::size_t cut = bytes.size() * i / count;
        if (rule == PieceStart::BelowDigit) {
            while (cut < bytes.size() && static_cast<unsigned char>(bytes[cut]) >= 0x30) {
                ++cut;
            }
        }
        if (cut <= start || cut >= bytes.size()) {
            continue;
        }
        pieces.push_back(bytes.substr(start, cut - start));
        start = cut;
    }
    pieces.push_back(bytes.substr(start));
    return pieces;
}

}  // namespace

DecodeResult decode_with_icu(const Encoding& encoding, std::string_view bytes,
                             const std::stop_token& stop) {
    const auto pieces = split_into_pieces(bytes, encoding.piece_start);
    std::vector<std::future<DecodeResult>> decoding;
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        decoding.push_back(std::async(std::launch::async, [&, i] {
            DecodeResult piece{{}, 0};
            piece.text.reserve(expected_utf8_size(pieces[i].size()));
            piece.malformed = decode_piece_with_icu(encoding, pieces[i], piece.text, stop);
            return piece;
        }));
    }
    // The first piece's text has room for all of them, so the others are appended without
    // moving it.
    DecodeResult result{{}, 0};
    result.text.reserve(expected_utf8_size(bytes.size()));
    result.malformed = decode_piece_with_icu(encoding, pieces[0], result.text, stop);
    for (auto& piece : decoding) {
        const DecodeResult rest = piece.get();
        result.text += rest.text;
        result.malformed += rest.malformed;
    }
    return result;
}

}  // namespace marlowin
