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

// The most channels libsndfile opens a file with.
constexpr std::uint32_t maxChannels = 1024;

// The highest sample rate played: a file's header may say anything, and decoding a second of a
// 10 MHz file takes as long as a minute of a common one. MPEG audio never goes above 48 kHz.
constexpr std::uint64_t maxSampleRate = 384000;

std::string rateRefusal(std::uint64_t rate) {
    if (rate <= maxSampleRate) return "";
    return "a sample rate of " + std::to_string(rate) + " Hz, above the " +
           std::to_string(maxSampleRate) + " Hz the simulator plays";
}

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

// The bytes of a layer 3 frame's side information, between its header and its main data.
std::size_t sideInfoBytes(std::string_view header) {
    const bool mpeg1 = ((byteAt(header, 1) >> 3) & 3u) == 3;
    const bool mono = (byteAt(header, 3) >> 6) == 3;
    return mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
}

// Whether the frame whose header is at the start of frame is an encoder's Info frame (LAME's
// "Info" or "Xing", after the side information; Fraunhofer's "VBRI" at 32 bytes), which carries
// no sound.
bool isInfoFrame(std::string_view frame) {
    const std::string_view tag = frame.substr(std::min(frame.size(), 4 + sideInfoBytes(frame)), 4);
    return tag == "Info" || tag == "Xing" ||
           frame.substr(std::min<std::size_t>(frame.size(), 36), 4) == "VBRI";
}

// The samples libmpg123 drops from the start of a layer 3 stream: 529 of its own, and the
// encoder's delay where the first frame is an Info frame of at least 120 bytes after its side
// information with a LAME extension (after the fields that the tag's flags say are there).
std::int64_t skippedSamples(std::string_view frame, std::int64_t frameBytes) {
    constexpr std::int64_t decoderDelay = 529;
    if (((byteAt(frame, 1) >> 1) & 3u) != 1) return 0;  // layers 1 and 2 drop nothing
    const std::size_t tag = 4 + sideInfoBytes(frame);
    if (!isInfoFrame(frame) || frameBytes < static_cast<std::int64_t>(tag + 120)) {
        return decoderDelay;
    }
    const std::uint32_t flags = big(frame, tag + 4, 4);
    const std::size_t extension = tag + 8 + ((flags & 1) != 0 ? 4 : 0) +
                                  ((flags & 2) != 0 ? 4 : 0) + ((flags & 4) != 0 ? 100 : 0) +
                                  ((flags & 8) != 0 ? 4 : 0);
    if (byteAt(frame, extension) == 0) return decoderDelay;
    return decoderDelay + (byteAt(frame, extension + 21) << 4 | byteAt(frame, extension + 22) >> 4);
}

// The samples a frame holds: 384 in layer 1, 1152 in layer 2, and in layer 3 1152 in MPEG-1 and
// 576 in MPEG-2 and 2.5.
std::int64_t mpegFrameSamples(std::string_view header) {
    const unsigned layer = 4 - ((byteAt(header, 1) >> 1) & 3u);
    const bool mpeg1 = ((byteAt(header, 1) >> 3) & 3u) == 3;
    return layer == 1 ? 384 : layer == 3 && !mpeg1 ? 576 : 1152;
}

// MPEG audio from start, as libmpg123 decodes it: it takes the first frame for the start of a
// stream only after reading the next frame's header, and plays a sample once whole frames of
// sound (those after an Info frame) hold more than the samples it drops. Past a damaged header
// after the first frame of sound it looks for the next frame, which is not followed here: such a
// file passes.
std::string mpegRefusal(SoundFile& file, std::int64_t at) {
    constexpr const char* noDecode = "MPEG audio that does not decode";
    constexpr const char* cutFirst = "MPEG audio that ends inside its first frame";
    const std::string first = file.at(at, 256);  // an Info frame's fields, the LAME extension's too
    std::int64_t bytes = mpegFrameBytes(first);
    if (bytes == 0) return "";  // free format: the decoder finds the frame's end itself
    if (at + bytes > file.size) return cutFirst;
    if (at + bytes + 4 > file.size) return noDecode;
    const std::int64_t skipped = skippedSamples(first, bytes);
    if (isInfoFrame(first)) at += bytes;
    for (std::int64_t held = 0; held <= skipped; at += bytes) {
        const std::string head = file.at(at, 4);
        if (!isMpegFrameHeader(head)) return held == 0 || head.size() < 4 ? noDecode : "";
        bytes = mpegFrameBytes(head);
        if (bytes == 0) return "";
        if (at + bytes > file.size) return held == 0 ? cutFirst : noDecode;
        held += mpegFrameSamples(head);
    }
    return "";
}

// Where libsndfile reads the next chunk after the one of size bytes at `at`, in a file whose audio
// starts at start (after any ID3v2 tag), or -1 where it stops reading chunks: an id that is not
// four printable characters ends them when 4-aligned from start, and elsewhere makes it look again
// 5 bytes on.
std::int64_t nextChunk(std::string_view chunk, std::int64_t at, std::int64_t start,
                       std::int64_t size) {
    const auto printable = [](char c) { return c >= 0x20 && c < 0x7F; };
    if (chunk.size() >= 4 && std::all_of(chunk.begin(), chunk.begin() + 4, printable)) {
        return at + 8 + size + (size & 1);
    }
    return (at - start) % 4 == 0 ? -1 : at + 5;
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
// Whether an extensible WAV's "fmt " chunk names its samples by a subformat GUID that libsndfile
// knows: its format tag, then the rest of Microsoft's GUID or of the ambisonic B-format's.
bool knownSubformat(std::string_view format) {
    const std::string_view rest = format.substr(std::min<std::size_t>(26, format.size()));
    return rest == std::string_view("\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71", 14) ||
           rest == std::string_view("\0\0\x21\x07\xD3\x11\x86\x44\xC8\xC1\xCA\0\0\0", 14);
}
bool playedBits(std::uint32_t tag, std::uint32_t bits) {
    if (tag == wavFloat) return bits == 32;
    return tag == wavPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

// A RIFF WAVE file from start, its chunks read as libsndfile reads them: its "fmt " chunk names
// samples the library plays (by a subformat libsndfile knows, when extensible), on 1 to 1024
// channels, and its "data" chunk holds at least one whole frame of them.
std::string wavRefusal(SoundFile& file, std::int64_t start) {
    std::string format;
    for (std::int64_t at = start + 12; at >= 0 && at + 8 <= file.size;) {
        const std::string chunk = file.at(at, 8);
        const std::int64_t size = little(chunk, 4, 4);
        if (chunk.starts_with("fmt ")) format = file.at(at + 8, 40);
        if (chunk.starts_with("data")) {
            if (format.size() < 16) return notASound;
            std::uint32_t tag = little(format, 0, 2);
            const std::uint32_t channels = little(format, 2, 2);
            const std::uint32_t rate = little(format, 4, 4);
            const std::uint32_t bits = little(format, 14, 2);
            const bool extensible = tag == wavExtensible;
            if (extensible) tag = little(format, 24, 2);
            if (channels > maxChannels || (extensible && !knownSubformat(format))) return notASound;
            if (!playedBits(tag, bits)) {
                return "WAV holding " + wavSampleName(tag, bits) + notPlayed;
            }
            if (channels == 0 || rate == 0) return noChannels;
            const std::int64_t held = std::min(size, file.size - (at + 8));
            return held >= channels * (bits / 8) ? rateRefusal(rate) : noSound;
        }
        at = nextChunk(chunk, at, start, size);
    }
    return noSound;
}

// libsndfile's reading of AIFF's 80-bit float sample rate, in whole hertz: 0 when negative, 1
// below 1 Hz, and two caps far above any real rate.
std::uint32_t aiffRate(std::string_view rate) {
    const unsigned exponentHigh = byteAt(rate, 0);
    const unsigned exponentLow = byteAt(rate, 1);
    if ((exponentHigh & 0x80) != 0) return 0;
    if (exponentHigh <= 0x3F) return 1;
    if (exponentHigh > 0x40) return 0x4000000;
    if (exponentLow > 0x1C) return 800000000;
    return (big(rate, 2, 4) >> 1) >> (29 - exponentLow);
}

// The sample kinds the library plays from AIFF-C, by compression type: plain PCM, and 32-bit float.
bool aiffPlays(std::string_view type, std::uint32_t bits) {
    static constexpr std::array<std::string_view, 5> pcm = {"NONE", "twos", "sowt", "in24", "in32"};
    return (std::find(pcm.begin(), pcm.end(), type) != pcm.end() &&
            (bits == 8 || bits == 16 || bits == 24 || bits == 32)) ||
           type == "raw " || type == "fl32" || type == "FL32";
}

// An AIFF or AIFF-C file from start, its chunks read as libsndfile reads them (a chunk's header
// only while more than its 8 bytes are left, and none after a chunk larger than the file): a COMM
// chunk naming samples the library plays, on 1 to 1024 channels, and an SSND chunk holding at
// least one frame of them after its own offset.
std::string aiffRefusal(SoundFile& file, std::int64_t start, bool compressed) {
    std::string common;
    std::int64_t soundBytes = -1;  // after the SSND chunk's offset, within the file; -1: no SSND
    for (std::int64_t at = start + 12; at >= 0 && at + 8 < file.size;) {
        const std::string chunk = file.at(at, 8);
        const std::int64_t size = big(chunk, 4, 4);
        if (chunk.starts_with("COMM")) common = file.at(at + 8, 22);
        if (chunk.starts_with("SSND")) {
            const std::int64_t data = at + 16;
            soundBytes = size - 8 > file.size - data || size < 8 ? file.size - data : size - 8;
            soundBytes = std::max<std::int64_t>(0, soundBytes - big(file.at(at + 8, 4), 0, 4));
        }
        if (size >= file.size) break;
        at = nextChunk(chunk, at, start, size);
    }
    const std::uint32_t channels = big(common, 0, 2);
    const std::uint32_t rate =
        aiffRate(std::string_view(common).substr(std::min<std::size_t>(8, common.size())));
    if (common.empty() || soundBytes < 0 || channels > maxChannels || rate == 0) return notASound;
    const std::uint32_t frames = big(common, 2, 4);
    const std::uint32_t bits = big(common, 6, 2);
    const std::string type =
        compressed ? common.substr(std::min<std::size_t>(18, common.size())) : "NONE";
    if (!aiffPlays(type, bits)) return "AIFF-C holding '" + type + "' samples" + notPlayed;
    if (channels == 0 || big(common, 10, 4) == 0) return noChannels;  // no channel, or a rate of 0
    const bool floats = type == "fl32" || type == "FL32";
    const std::int64_t sampleBytes = floats ? 4 : std::max<std::int64_t>(1, bits / 8);
    return frames > 0 && soundBytes >= channels * sampleBytes ? rateRefusal(rate) : noSound;
}

// Whether a Vorbis identification header is one libvorbis takes: version 0, at least one channel
// and 1 Hz, short blocks of 64 samples or more, long blocks no shorter and at most 8192, and the
// framing bit.
bool isVorbisIdentification(std::string_view header) {
    const unsigned shortBlock = 1u << (byteAt(header, 28) & 0xF);
    const unsigned longBlock = 1u << (byteAt(header, 28) >> 4);
    return header.size() >= 30 && little(header, 7, 4) == 0 && byteAt(header, 11) > 0 &&
           little(header, 12, 4) > 0 && shortBlock >= 64 && longBlock >= shortBlock &&
           longBlock <= 8192 && (byteAt(header, 29) & 1) != 0;
}

// The CRC that an Ogg page's header holds at byte 22: of the whole page with those 4 bytes zero
// (polynomial 0x04C11DB7, most significant bit first, from 0).
std::uint32_t oggChecksum(std::string_view page) {
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < page.size(); ++i) {
        crc ^= (i >= 22 && i < 26 ? 0u : byteAt(page, i)) << 24;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80000000u) != 0 ? crc << 1 ^ 0x04C11DB7u : crc << 1;
        }
    }
    return crc;
}

// An Ogg Vorbis stream at the file's start, its pages read as libsndfile reads them through
// libogg: only whole pages with the right CRC count, a damaged one is dropped. Its three header
// packets (identification, comments, codebooks) must end on such pages, and one after them must
// end with a sample decoded (its granule position, the samples decoded by its end, above 0; -1 on
// a page where no packet ends).
std::string oggRefusal(SoundFile& file) {
    const std::string identification = file.at(28, 30);
    if (!isVorbisIdentification(identification)) return notASound;
    int packets = 0;  // packets ended on the pages taken so far
    for (std::int64_t at = 0;;) {
        const std::string head = file.at(at, 27);
        const std::size_t segmentCount = byteAt(head, 26);
        const std::string segments = file.at(at + 27, segmentCount);
        std::int64_t size = 27 + static_cast<std::int64_t>(segmentCount);
        for (const char segment : segments) size += static_cast<unsigned char>(segment);
        const std::string page = file.at(at, static_cast<std::size_t>(size));
        if (!head.starts_with("OggS") || static_cast<std::int64_t>(page.size()) < size) {
            return packets < 3 ? notASound : noSound;
        }
        at += size;
        if (oggChecksum(page) != little(head, 22, 4)) {
            if (packets < 3) return notASound;
            continue;
        }
        packets += static_cast<int>(std::count_if(segments.begin(), segments.end(),
                                                  [](char lacing) { return lacing != '\xFF'; }));
        const auto granule = static_cast<std::int64_t>(
            static_cast<std::uint64_t>(little(head, 10, 4)) << 32 | little(head, 6, 4));
        if (packets > 3 && granule > 0) return rateRefusal(little(identification, 12, 4));
    }
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
    if (marked("OggS", 28, "\x01vorbis")) {
        return start == 0 ? oggRefusal(file) : notASound;  // libsndfile skips no tag before Ogg
    }
    for (const HeaderKind& kind : headerKinds) {
        if (marked(kind.start, kind.at, kind.mark)) return kind.refusal;
    }
    return notASound;
}

}  // namespace audio
