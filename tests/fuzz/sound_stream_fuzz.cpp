// Fuzz target: standins/audio opening a stream from a file of arbitrary bytes and decoding it to
// its end. A stream that opens has something to play, plays the same start again after a rewind,
// and as a loop never runs dry.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "standins/audio/sound_stream.h"

namespace {

const TempFolder folder(TempFolder::Enter::no);

constexpr std::size_t blockFrames = 4096;

using Samples = std::vector<float>;

// The next block of the stream, as many frames as it gave.
Samples readBlock(audio::SoundStream& stream) {
    Samples block(blockFrames * audio::outputChannels);
    block.resize(stream.read(block.data(), blockFrames) * audio::outputChannels);
    return block;
}

// Frames from the first to the end, after the first block.
std::size_t framesToEnd(audio::SoundStream& stream) {
    std::size_t frames = 0;
    for (Samples block = readBlock(stream); !block.empty(); block = readBlock(stream)) {
        frames += block.size() / audio::outputChannels;
    }
    return frames;
}

// To the bit: a rewind decodes the file afresh, as the first time.
bool sameSamples(const Samples& a, const Samples& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path =
        folder.write("sound.mp3", std::string(reinterpret_cast<const char*>(data), size));
    std::unique_ptr<audio::SoundStream> stream = audio::SoundStream::open(path, false);
    if (stream == nullptr) return 0;

    const Samples first = readBlock(*stream);
    require(!first.empty(), "a stream that opens plays at least one frame");
    const std::size_t length = first.size() / audio::outputChannels + framesToEnd(*stream);
    stream->rewind();
    require(sameSamples(readBlock(*stream), first), "a rewound stream plays its start again");

    std::unique_ptr<audio::SoundStream> loop = audio::SoundStream::open(path, true);
    require(loop != nullptr, "a file that opens once opens again");
    Samples twice((length + blockFrames) * audio::outputChannels);
    require(loop->read(twice.data(), length + blockFrames) == length + blockFrames,
            "a loop runs on past its end");
    return 0;
}
