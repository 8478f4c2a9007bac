#include "standins/world/replay.h"

#include <algorithm>
#include <charconv>
#include <istream>
#include <limits>
#include <optional>
#include <ostream>
#include <string_view>
#include <type_traits>
#include <unordered_set>

#include "text/float_text.h"
#include "text/shown_text.h"

namespace {

// The index of a column, for errors that point at it.
constexpr std::size_t columnIndex(std::string_view name) {
    std::size_t index = 0;
    while (replayColumns[index] != name) ++index;
    return index;
}
constexpr std::size_t vehicleColumn = columnIndex("vehicle");

// The header without its line end, as a line reads.
constexpr std::string_view headerLine = replayHeader.substr(0, replayHeader.size() - 1);

// One row being read: where each field starts, for errors.
class RowReader {
  public:
    RowReader(const std::string& fileName, std::size_t lineNumber, std::string_view line)
        : fileName(fileName), lineNumber(lineNumber), line(line) {}

    ReplayFrame read() {
        ReplayFrame row;
        forEachReplayColumn(
            [&](std::string_view name, auto& field) { store(field, nextField(name), name); }, row);
        if (position <= line.size()) {
            fail(position, "expected the end of the row after roof_z");
        }
        return row;
    }

    [[noreturn]] void fail(std::size_t column, const std::string& message) const {
        throw InputError(fileName, lineNumber, column, message);
    }

    std::size_t fieldColumn() const { return fieldStart + 1; }

    // The column at which the field of that index starts in a row that was read whole.
    std::size_t columnOf(std::size_t index) const {
        std::size_t start = 0;
        for (std::size_t i = 0; i < index; ++i) start = line.find(',', start) + 1;
        return start + 1;
    }

  private:
    std::string_view nextField(std::string_view name) {
        if (position > line.size()) {
            fail(line.size() + 1, "expected a value for '" + std::string(name) + "' (a row has " +
                                      std::to_string(std::size(replayColumns)) + " fields)");
        }
        fieldStart = position;
        std::size_t end = std::min(line.find(',', position), line.size());
        position = end + 1;
        return line.substr(fieldStart, end - fieldStart);
    }

    void store(std::uint32_t& field, std::string_view text, std::string_view name) {
        field = readUnsigned(text, name, std::numeric_limits<std::uint32_t>::max());
    }
    void store(std::uint8_t& field, std::string_view text, std::string_view name) {
        field = static_cast<std::uint8_t>(readUnsigned(text, name, 255));
    }
    void store(bool& field, std::string_view text, std::string_view name) {
        field = readUnsigned(text, name, 1) != 0;
    }
    void store(float& field, std::string_view text, std::string_view name) {
        if (!readFloatText(text, field)) {
            fail(fieldColumn(), "expected a 32-bit float for '" + std::string(name) + "', found " +
                                    quotedExcerpt(text));
        }
    }

    std::uint32_t readUnsigned(std::string_view text, std::string_view name, std::uint32_t max) {
        const char* end = text.data() + text.size();
        std::uint32_t value = 0;
        std::from_chars_result result = std::from_chars(text.data(), end, value);
        if (text.empty() || result.ec != std::errc() || result.ptr != end || value > max) {
            fail(fieldColumn(), "expected an integer from 0 to " + std::to_string(max) + " for '" +
                                    std::string(name) + "', found " + quotedExcerpt(text));
        }
        return value;
    }

    const std::string& fileName;
    std::size_t lineNumber;
    std::string_view line;
    std::size_t position = 0;
    std::size_t fieldStart = 0;
};

// Why text that should be a replay's lines is not, when its bytes name the cause: "" otherwise.
std::string causeIn(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") ||
        bytes.find('\0') != std::string_view::npos) {
        return " (the file is UTF-16 text: save it as UTF-8)";
    }
    if (bytes.find('\r') != std::string_view::npos) {
        return " (its lines end in CR alone: save it with LF or CR LF line ends)";
    }
    return "";
}

// The lines of a replay, each without its "\n" or "\r\n". A line longer than maxReplayLineBytes is
// an error at that line, read no further. A NUL byte ends the input: what follows is the zeros a
// crash can leave at the end of a file.
class LineReader {
  public:
    LineReader(std::istream& in, const std::string& fileName) : in(in), fileName(fileName) {}

    // The next line into line; false at the end of the input.
    bool next(std::string& line) {
        if (zeros) return false;
        char buffer[maxReplayLineBytes + 2];  // the bytes, a '\r' and getline's terminating 0
        in.getline(buffer, sizeof buffer);
        const auto count = static_cast<std::size_t>(in.gcount());
        if (count == 0 && in.eof()) return false;
        ++number;
        ended = !in.eof();
        raw.assign(buffer, ended && !in.fail() ? count - 1 : count);  // without getline's '\n'
        line = raw.substr(0, raw.find('\0'));
        zeros = line.size() < raw.size() && number > 1;
        if (zeros) ended = false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!zeros && ((in.fail() && ended) || line.size() > maxReplayLineBytes)) {
            throw InputError(fileName, number, maxReplayLineBytes + 1,
                             "expected a line of at most " + std::to_string(maxReplayLineBytes) +
                                 " bytes" + causeIn(raw));
        }
        return true;
    }

    std::size_t number = 0;  // of the line read last
    bool ended = false;      // whether that line ended in "\n"
    bool zeros = false;      // whether NUL bytes followed it
    std::string raw;         // that line's bytes, NULs and a '\r' included

  private:
    std::istream& in;
    const std::string& fileName;
};

// The end of the warning about a cut last row.
std::string cutRowEnd(std::size_t wholeRows) {
    return ", as a crash leaves a recording; replayed the " + std::to_string(wholeRows) +
           " whole rows before it";
}

}  // namespace

InputError::InputError(const std::string& fileName, std::size_t line, std::size_t column,
                       const std::string& message)
    : std::runtime_error(printableText(fileName + ":" + std::to_string(line) + ":" +
                                       std::to_string(column) + ": " + message)),
      line(line),
      column(column) {}

std::vector<ReplayFrame> readReplay(std::istream& in, const std::string& fileName,
                                    std::string* warning) {
    std::string line;
    LineReader lines(in, fileName);
    // A spreadsheet saving as UTF-8 puts a byte-order mark first.
    const std::string_view byteOrderMark = "\xEF\xBB\xBF";
    const bool read = lines.next(line);
    if (line.starts_with(byteOrderMark)) line.erase(0, byteOrderMark.size());
    if (!read || line != headerLine) {
        throw InputError(fileName, 1, 1,
                         "expected the header " + std::string(headerLine) + causeIn(lines.raw));
    }
    std::vector<ReplayFrame> frames;
    std::unordered_set<std::uint32_t> vehicles;
    std::size_t blankLine = 0;  // the first blank line, which only more blank lines may follow
    while (lines.next(line)) {
        if (line.empty()) {
            if (blankLine == 0) blankLine = lines.number;
            continue;
        }
        if (blankLine != 0) {
            throw InputError(fileName, blankLine, 1,
                             "expected a row, found a blank line (blank lines may only end the "
                             "replay)");
        }
        RowReader reader(fileName, lines.number, line);
        if (frames.size() == maxReplayFrames) {
            reader.fail(1, "expected at most " + std::to_string(maxReplayFrames) + " frames");
        }
        // The last row, cut where the file ends or zeros begin, is what a crash leaves: the
        // whole rows before it are replayed.
        std::optional<ReplayFrame> whole;
        try {
            whole = reader.read();
        } catch (const InputError& error) {
            if (lines.ended || frames.empty()) throw;
            if (warning != nullptr) {
                *warning = error.what() + std::string(": the last row is cut short") +
                           cutRowEnd(frames.size());
            }
            break;
        }
        // The recorder ends every row, so a row without its line end may have lost the end of
        // roof_z (12.5 cut to 12) and still read. It is left out, as a row cut anywhere else
        // is: the frames replayed do not depend on the byte at which the crash cut.
        if (!lines.ended) {
            if (frames.empty()) {
                reader.fail(line.size() + 1,
                            "expected a line end after the only row (the recorder ends every "
                            "row; one without it may be cut short, as a crash leaves a "
                            "recording)");
            }
            if (warning != nullptr) {
                *warning = printableText(fileName) + ":" + std::to_string(lines.number) +
                           ": the last row has no line end, so it may be cut short" +
                           cutRowEnd(frames.size());
            }
            break;
        }
        const ReplayFrame& row = frames.emplace_back(*whole);
        if (row.frame != frames.size() - 1) {
            reader.fail(1, "expected frame " + std::to_string(frames.size() - 1) +
                               " (frames count up from 0 by one)");
        }
        if (row.vehicle != 0 && vehicles.insert(row.vehicle).second &&
            vehicles.size() > maxReplayVehicles) {
            reader.fail(
                reader.columnOf(vehicleColumn),
                "expected at most " + std::to_string(maxReplayVehicles) + " different vehicles");
        }
    }
    if (lines.zeros && warning != nullptr && warning->empty()) {
        *warning = printableText(fileName) + ":" + std::to_string(lines.number) +
                   ": NUL bytes from here to the end, as a crash can leave a file; replayed the " +
                   std::to_string(frames.size()) + " rows before them";
    }
    if (frames.empty()) {
        // On the line after a header that ends its line; else just past the header.
        throw InputError(fileName, lines.ended ? 2 : 1, lines.ended ? 1 : line.size() + 1,
                         "expected at least one row after the header: a drive of no frames");
    }
    return frames;
}

void writeReplay(std::ostream& out, const std::vector<ReplayFrame>& frames) {
    out << replayHeader;
    for (const ReplayFrame& row : frames) {
        const char* separator = "";
        forEachReplayColumn(
            [&](std::string_view, const auto& value) {
                out << separator;
                separator = ",";
                if constexpr (std::is_same_v<std::decay_t<decltype(value)>, float>) {
                    out << floatText(value);
                } else {
                    out << static_cast<std::uint32_t>(value);
                }
            },
            row);
        out << '\n';
    }
}
