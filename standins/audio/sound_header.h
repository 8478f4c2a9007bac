// What a sound file's first bytes say it holds, judged as the game's audio library judges a file
// by its content: for the browser's build, which has no decoder to try the file with.
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

// Why the game's audio library would refuse the regular, non-empty file at linuxPath by its
// header, in the words the Linux library uses, or "" when the header is of a kind it plays: MPEG
// audio layers 1 to 3 (after any ID3v2 tag), WAV, AIFF or OGG Vorbis. A file passed here can still
// hold samples that do not decode.
std::string headerRefusal(const std::string& linuxPath);

}  // namespace audio
