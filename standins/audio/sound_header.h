// What a sound file's headers say it holds, judged as the game's audio library judges a file by
// its content: the one rule of both builds. The browser's, which has no decoder to try the file
// with, judges by it alone; the Linux library opens only what it passes, then decodes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace audio {

// Where the audio of a file starts, from its first 10 bytes (fewer: no tag): after its ID3v2 tag
// if it has one, at 0 otherwise.
std::int64_t mpegAudioStart(std::string_view head);

// Whether four bytes are an MPEG audio frame header of layer 1, 2 or 3.
bool isMpegFrameHeader(std::string_view header);

// Why the game's audio library would refuse the regular file at linuxPath by its headers, or ""
// when they are of a kind it plays: MPEG audio layers 1 to 3 whose whole frames hold more sound
// than the decoder drops at the start, the first followed by the next one's header; WAV and AIFF
// of 8 to 32-bit PCM or 32-bit float on at most 1024 channels holding a frame; OGG Vorbis whose
// headers and first sound are on whole pages; any of them after an ID3v2 tag, at a sample rate of
// at most 384 kHz. A file passed here can still hold samples that do not decode.
std::string headerRefusal(const std::string& linuxPath);

}  // namespace audio
