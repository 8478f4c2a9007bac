#include "standins/audio/sound_header.h"

#include <algorithm>
#include <fstream>
#include <string_view>

namespace audio {

namespace {

// libsndfile's words for a file it cannot open at all.
constexpr const char* notASound =
    "not a sound the game's audio library plays (MP3, MP2, MP1, OGG Vorbis, WAV, AIFF)";

// A kind of file told by two marks in its first bytes: start at 0 and mark at `at`. refusal: ""
// when the library plays it, or why not, in the Linux library's words (libsndfile's names).
struct HeaderKind {
    std::string_view start;
    std::size_t at;
    std::string_view mark;
    const char* refusal;
};
// An Ogg stream's first page holds its codec's identification packet alone: after the 27-byte
// page header and a one-byte segment table.
const HeaderKind headerKinds[] = {
    {"RIFF", 8, "WAVE", ""},
    {"FORM", 8, "AIFF", ""},
    {"FORM", 8, "AIFC", ""},
    {"OggS", 28, "\x01vorbis", ""},
    {"OggS", 28, "OpusHead",
     "OGG (OGG Container format) holding Opus, which the game's audio library does not play"},
    {"fLaC", 0, "",
     "FLAC (Free Lossless Audio Codec) audio, which the game's audio library does not play"},
};
constexpr std::size_t headSize = 36;  // covers every mark above

std::string readAt(std::ifstream& file, std::streamoff offset, std::size_t size) {
    std::string bytes(size, '\0');
    file.clear();
    file.seekg(offset);
    file.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    return bytes;
}

}  // namespace

// An ID3v2 tag is a 10-byte header whose last four bytes hold the body size, 7 bits each, then the
// body and, with flag 0x10, a 10-byte footer.
std::int64_t mpegAudioStart(std::string_view head) {
    if (head.size() < 10 || !head.starts_with("ID3")) return 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(head[i]); };
    const std::int64_t body =
        (byte(6) & 0x7F) << 21 | (byte(7) & 0x7F) << 14 | (byte(8) & 0x7F) << 7 | (byte(9) & 0x7F);
    return 10 + body + ((byte(5) & 0x10) != 0 ? 10 : 0);
}

// 11 sync bits, then no reserved version (01), layer (00, which AAC's ADTS frames have), bitrate
// (1111) or sample rate (11).
bool isMpegFrameHeader(std::string_view header) {
    if (header.size() < 4) return false;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(header[i]); };
    const bool sync = byte(0) == 0xFF && (byte(1) & 0xE0) == 0xE0;
    const unsigned version = (byte(1) >> 3) & 3u;
    const unsigned layer = (byte(1) >> 1) & 3u;
    const unsigned bitrate = byte(2) >> 4;
    const unsigned rate = (byte(2) >> 2) & 3u;
    return sync && version != 1 && layer != 0 && bitrate != 15 && rate != 3;
}

// MPEG audio first, as the Linux library tries libmpg123 before libsndfile.
std::string headerRefusal(const std::string& linuxPath) {
    std::ifstream file(linuxPath, std::ios::binary);
    if (!file) return "cannot be opened";
    const std::string head = readAt(file, 0, headSize);
    if (isMpegFrameHeader(readAt(file, mpegAudioStart(head), 4))) return "";
    for (const HeaderKind& kind : headerKinds) {
        if (head.starts_with(kind.start) && head.size() >= kind.at &&
            std::string_view(head).substr(kind.at).starts_with(kind.mark)) {
            return kind.refusal;
        }
    }
    return notASound;
}

}  // namespace audio
