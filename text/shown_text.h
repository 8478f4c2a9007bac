// Text from a file that a person or another program is shown: a scenario's title, a bad field of
// a replay, a key of a settings file. Shared files can hold anything, so the text is made safe to
// print first: bytes that would move a terminal's cursor, end a line or start an escape sequence
// are written as \xNN, and a long text is cut to a short excerpt.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The length of the well-formed UTF-8 sequence at the start of text, or 0 when it starts with
// none (or is empty).
std::size_t utf8Sequence(std::string_view text);

// The byte as the four characters \xNN (upper-case hex digits).
std::string escapedByte(unsigned char byte);

// The text with every control character (C0, DEL and the C1 range U+0080..U+009F) and every byte
// that is not part of well-formed UTF-8 written as \xNN; everything else as it is.
std::string printableText(std::string_view text);

// The text in single quotes as printableText writes it, cut after at most limit characters with
// "..." and the text's full size in bytes after the quote: 'aaaa...' (20971520 bytes).
std::string quotedExcerpt(std::string_view text, std::size_t limit = 40);
