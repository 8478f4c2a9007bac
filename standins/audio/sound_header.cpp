#include "standins/audio/sound_header.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <string_view>

namespace audio {

namespace {

// libsndfile's words for a file it cannot open at all.
constexpr const char* notASound =
    "not a sound the game's audio library plays (MP3, MP2, MP1, OGG Vorbis, WAV, AIFF)";
constexpr const char* noSound = "a sound file that holds no sound";
constexpr const char* noChannels = "a sound file without channels or sample rate";
constexpr const char* notPlayed = ", which the game's audio library does not play";

// The file being judged: its size, and bytes read at any offset.
class SoundFile {
  public:
    explicit SoundFile(const std::string& path) : file(path, std::ios::binary) {
        file.seekg(0, std::ios::end);
        size = file ? static_cast<std::int64_t>(file.tellg()) : -1;
    }

    bool opened() const { return size >= 0; }

    // Up to count bytes from offset (fewer at the file's end).
    std::string at(std::int64_t offset, std::size_t count) {
        std::string bytes(count, '\0');
        if (offset < 0 || offset >= size) return {};
        file.clear();
        file.seekg(offset);
        file.read(bytes.data(), static_cast<std::streamsize>(count));
        bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
        return bytes;
    }

    std::int64_t size = -1;

  private:
    std::ifstream file;
};

unsigned byteAt(std::string_view bytes, std::size_t i) {
    return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u;
}
std::uint32_t little(std::string_view bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | byteAt(bytes, at + i);
    return value;
}
std::uint32_t big(std::string_view bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | byteAt(bytes, at + i);
    return value;
}

// The bytes an MPEG audio frame takes, header included, or 0 for a free-format frame (its size
// is told only by where the next frame starts). Tables from ISO/IEC 11172-3 and 13818-3, in
// kbit/s and Hz; MPEG-2 and 2.5 share their bitrates.
std::int64_t mpegFrameBytes(std::string_view header) {
    static constexpr int bitrates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static constexpr int rates[3] = {44100, 48000, 32000};
    const unsigned version = (byteAt(header, 1) >> 3) & 3u;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const unsigned layer = 4 - ((byteAt(header, 1) >> 1) & 3u);
    const bool mpeg1 = version == 3;
    const int kbits = bitrates[mpeg1 ? 0 : 1][layer - 1][byteAt(header, 2) >> 4];
    const int rate = rates[(byteAt(header, 2) >> 2) & 3u] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const int padding = (byteAt(header, 2) >> 1) & 1;
    if (kbits == 0) return 0;
    if (layer == 1) return (12 * kbits * 1000 / rate + padding) * 4;
    const int slots = layer == 3 && !mpeg1 ? 72 : 144;
    return slots * kbits * 1000 / rate + padding;
}

// Whether the frame whose header is at the start of frame is an encoder's Info frame (LAME's
// "Info" or "Xing", after the side information; Fraunhofer's "VBRI" at 32 bytes), which carries
// no sound.
bool isInfoFrame(std::string_view frame) {
    const bool mpeg1 = ((byteAt(frame, 1) >> 3) & 3u) == 3;
    const bool mono = (byteAt(frame, 3) >> 6) == 3;
    const std::size_t sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const std::string_view tag = frame.substr(std::min(frame.size(), 4 + sideInfo), 4);
    return tag == "Info" || tag == "Xing" ||
           frame.substr(std::min<std::size_t>(frame.size(), 36), 4) == "VBRI";
}

// MPEG audio from start: the decoder needs a whole frame of sound, the frame after an Info frame
// when the first is one.
std::string mpegRefusal(SoundFile& file, std::int64_t start) {
    for (int frame = 0; frame < 2; ++frame) {
        const std::string head = file.at(start, 40);
        if (!isMpegFrameHeader(head)) return "MPEG audio that does not decode";
        const std::int64_t bytes = mpegFrameBytes(head);
        if (bytes == 0) return "";  // free format: the decoder finds the frame's end itself
        if (start + bytes > file.size) return "MPEG audio that ends inside its first frame";
        if (!isInfoFrame(head)) return "";
        start += bytes;
    }
    return "MPEG audio that does not decode";
}

// The sample kinds the audio library plays from WAV (by format tag and bits), and the names of
// those it does not.
constexpr std::uint32_t wavPcm = 0x0001;
constexpr std::uint32_t wavFloat = 0x0003;
constexpr std::uint32_t wavExtensible = 0xFFFE;
std::string wavSampleName(std::uint32_t tag, std::uint32_t bits) {
    switch (tag) {
        case wavPcm:
            return std::to_string(bits) + " bit PCM";
        case wavFloat:
            return std::to_string(bits) + " bit float";
        case 0x0002:
            return "Microsoft ADPCM";
        case 0x0006:
            return "A-Law";
        case 0x0007:
            return "U-Law";
        case 0x0011:
            return "IMA ADPCM";
        case 0x0031:
            return "GSM 6.10";
        case 0x0050:
            return "MPEG Layer I or II";
        case 0x0055:
            return "MPEG Layer III";
        default:
            return "samples of format " + std::to_string(tag);
    }
}
bool playedBits(std::uint32_t tag, std::uint32_t bits) {
    if (tag == wavFloat) return bits == 32;
    return tag == wavPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

// A RIFF WAVE file from start: its "fmt " chunk names samples the library plays, on at least one
// channel, and its "data" chunk holds at least one whole frame of them.
std::string wavRefusal(SoundFile& file, std::int64_t start) {
    std::string format;
    for (std::int64_t at = start + 12; at + 8 <= file.size;) {
        const std::string chunk = file.at(at, 8);
        const std::int64_t size = little(chunk, 4, 4);
        if (chunk.starts_with("fmt ")) format = file.at(at + 8, 40);
        if (chunk.starts_with("data")) {
            if (format.size() < 16) return notASound;
            std::uint32_t tag = little(format, 0, 2);
            const std::uint32_t channels = little(format, 2, 2);
            const std::uint32_t rate = little(format, 4, 4);
            const std::uint32_t bits = little(format, 14, 2);
            if (tag == wavExtensible && format.size() >= 26) tag = little(format, 24, 2);
            if (!playedBits(tag, bits)) {
                return "WAV holding " + wavSampleName(tag, bits) + notPlayed;
            }
            if (channels == 0 || rate == 0) return noChannels;
            const std::int64_t held = std::min(size, file.size - (at + 8));
            return held >= channels * (bits / 8) ? "" : noSound;
        }
        at += 8 + size + (size & 1);
    }
    return noSound;
}

// An AIFF or AIFF-C file from start: its COMM chunk names samples the library plays (AIFF-C's
// compression types for plain PCM and 32-bit float), on at least one channel, and at least one
// frame.
std::string aiffRefusal(SoundFile& file, std::int64_t start, bool compressed) {
    for (std::int64_t at = start + 12; at + 8 <= file.size;) {
        const std::string chunk = file.at(at, 8);
        const std::int64_t size = big(chunk, 4, 4);
        if (chunk.starts_with("COMM")) {
            const std::string common = file.at(at + 8, 22);
            const std::uint32_t channels = big(common, 0, 2);
            const std::uint32_t frames = big(common, 2, 4);
            const std::uint32_t bits = big(common, 6, 2);
            const std::uint32_t rateBits = big(common, 10, 4);  // the 80-bit rate's mantissa
            const std::string type =
                compressed ? common.substr(std::min<std::size_t>(18, common.size())) : "NONE";
            static constexpr std::array<std::string_view, 5> pcm = {"NONE", "twos", "sowt", "in24",
                                                                    "in32"};
            const bool played = (std::find(pcm.begin(), pcm.end(), type) != pcm.end() &&
                                 (bits == 8 || bits == 16 || bits == 24 || bits == 32)) ||
                                type == "raw " || type == "fl32" || type == "FL32";
            if (!played) return "AIFF-C holding '" + type + "' samples" + notPlayed;
            if (channels == 0 || rateBits == 0) return noChannels;
            return frames > 0 ? "" : noSound;
        }
        at += 8 + size + (size & 1);
    }
    return notASound;
}

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
    {"OggS", 28, "\x01vorbis", ""},
    {"OggS", 28, "OpusHead",
     "OGG (OGG Container format) holding Opus, which the game's audio library does not play"},
    {"fLaC", 0, "",
     "FLAC (Free Lossless Audio Codec) audio, which the game's audio library does not play"},
};
constexpr std::size_t headSize = 36;  // covers every mark above

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

// MPEG audio first, as the Linux library tries libmpg123 before libsndfile. An ID3v2 tag may lead
// any kind of file: both decoders skip it.
std::string headerRefusal(const std::string& linuxPath) {
    SoundFile file(linuxPath);
    if (!file.opened()) return "cannot be opened";
    if (file.size == 0) return "the file is empty";
    const std::int64_t start = mpegAudioStart(file.at(0, 10));
    const std::string head = file.at(start, headSize);
    if (isMpegFrameHeader(head)) return mpegRefusal(file, start);
    const auto marked = [&](std::string_view first, std::size_t at, std::string_view mark) {
        return head.starts_with(first) && head.size() >= at &&
               std::string_view(head).substr(at).starts_with(mark);
    };
    if (marked("RIFF", 8, "WAVE")) return wavRefusal(file, start);
    if (marked("FORM", 8, "AIFF")) return aiffRefusal(file, start, false);
    if (marked("FORM", 8, "AIFC")) return aiffRefusal(file, start, true);
    for (const HeaderKind& kind : headerKinds) {
        if (marked(kind.start, kind.at, kind.mark)) return kind.refusal;
    }
    return notASound;
}

}  // namespace audio
