#include "standins/world/replay.h"

#include <algorithm>
#include <charconv>
#include <istream>
#include <limits>
#include <ostream>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <variant>

#include "text/float_text.h"
#include "text/shown_text.h"

namespace {

using Member = std::variant<std::uint32_t ReplayFrame::*, std::uint8_t ReplayFrame::*,
                            float ReplayFrame::*, bool ReplayFrame::*>;

struct Column {
    std::string_view name;
    Member member;
};

// The columns in file order: the header is their names joined by commas.
constexpr Column columns[] = {{"frame", &ReplayFrame::frame},
                              {"tick", &ReplayFrame::tick},
                              {"suspend", &ReplayFrame::suspend},
                              {"actor", &ReplayFrame::actor},
                              {"vehicle", &ReplayFrame::vehicle},
                              {"status", &ReplayFrame::status},
                              {"health", &ReplayFrame::health},
                              {"impact", &ReplayFrame::impact},
                              {"x", &ReplayFrame::x},
                              {"y", &ReplayFrame::y},
                              {"z", &ReplayFrame::z},
                              {"roof_found", &ReplayFrame::roofFound},
                              {"roof_z", &ReplayFrame::roofZ}};

// Each vehicle is a record of its own for the whole replay: a bound on them bounds the memory.
constexpr std::size_t maxVehicles = 65536;
constexpr std::size_t vehicleColumn = 4;
// The longest row: thirteen numbers written in full take a few hundred bytes. The bound keeps a
// shared file of one endless line from taking all memory.
constexpr std::size_t maxLineBytes = 1024;

std::string header() {
    std::string text;
    for (const Column& column : columns) {
        text += text.empty() ? "" : ",";
        text += column.name;
    }
    return text;
}

// One row being read: where each field starts, for errors.
class RowReader {
  public:
    RowReader(const std::string& fileName, std::size_t lineNumber, std::string_view line)
        : fileName(fileName), lineNumber(lineNumber), line(line) {}

    ReplayFrame read() {
        ReplayFrame row;
        for (std::size_t i = 0; i < std::size(columns); ++i) {
            std::string_view text = nextField(i);
            std::visit([&](auto member) { store(row.*member, text, columns[i].name); },
                       columns[i].member);
        }
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
    std::string_view nextField(std::size_t index) {
        if (position > line.size()) {
            fail(line.size() + 1, "expected a value for '" + std::string(columns[index].name) +
                                      "' (a row has " + std::to_string(std::size(columns)) +
                                      " fields)");
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

// The lines of a replay, each without its "\n" or "\r\n". A line longer than maxLineBytes is an
// error at that line, read no further.
class LineReader {
  public:
    LineReader(std::istream& in, const std::string& fileName) : in(in), fileName(fileName) {}

    // The next line into line; false at the end of the input.
    bool next(std::string& line) {
        char buffer[maxLineBytes + 2];  // the bytes, a '\r' and getline's terminating 0
        in.getline(buffer, sizeof buffer);
        const auto count = static_cast<std::size_t>(in.gcount());
        if (count == 0 && in.eof()) return false;
        ++number;
        ended = !in.eof();
        line.assign(buffer, ended ? count - 1 : count);  // without the '\n' getline took
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if ((in.fail() && ended) || line.size() > maxLineBytes) {
            throw InputError(
                fileName, number, maxLineBytes + 1,
                "expected a line of at most " + std::to_string(maxLineBytes) + " bytes");
        }
        return true;
    }

    std::size_t number = 0;  // of the line read last
    bool ended = false;      // whether that line ended in "\n"

  private:
    std::istream& in;
    const std::string& fileName;
};

}  // namespace

InputError::InputError(const std::string& fileName, std::size_t line, std::size_t column,
                       const std::string& message)
    : std::runtime_error(printableText(fileName + ":" + std::to_string(line) + ":" +
                                       std::to_string(column) + ": " + message)),
      line(line),
      column(column) {}

std::vector<ReplayFrame> readReplay(std::istream& in, const std::string& fileName) {
    std::string line;
    LineReader lines(in, fileName);
    if (!lines.next(line) || line != header()) {
        throw InputError(fileName, 1, 1, "expected the header " + header());
    }
    std::vector<ReplayFrame> frames;
    std::unordered_set<std::uint32_t> vehicles;
    while (lines.next(line)) {
        RowReader reader(fileName, lines.number, line);
        if (frames.size() == maxReplayFrames) {
            reader.fail(1, "expected at most " + std::to_string(maxReplayFrames) + " frames");
        }
        const ReplayFrame& row = frames.emplace_back(reader.read());
        if (row.frame != frames.size() - 1) {
            reader.fail(1, "expected frame " + std::to_string(frames.size() - 1) +
                               " (frames count up from 0 by one)");
        }
        if (row.vehicle != 0 && vehicles.insert(row.vehicle).second &&
            vehicles.size() > maxVehicles) {
            reader.fail(reader.columnOf(vehicleColumn),
                        "expected at most " + std::to_string(maxVehicles) + " different vehicles");
        }
    }
    if (frames.empty()) {
        // On the line after a header that ends its line; else just past the header.
        throw InputError(fileName, lines.ended ? 2 : 1, lines.ended ? 1 : line.size() + 1,
                         "expected at least one row after the header: a drive of no frames");
    }
    return frames;
}

void writeReplay(std::ostream& out, const std::vector<ReplayFrame>& frames) {
    out << header() << '\n';
    for (const ReplayFrame& row : frames) {
        const char* separator = "";
        for (const Column& column : columns) {
            out << separator;
            separator = ",";
            std::visit(
                [&](auto member) {
                    const auto& value = row.*member;
                    if constexpr (std::is_same_v<std::decay_t<decltype(value)>, float>) {
                        out << floatText(value);
                    } else {
                        out << static_cast<std::uint32_t>(value);
                    }
                },
                column.member);
        }
        out << '\n';
    }
}
