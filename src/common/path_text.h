// A path held in fixed storage: the plug-in builds its paths without allocating, so no path
// operation can fail for want of memory, and the DLL holds no code that throws. The capacity is
// Windows' longest path; a path that would not fit is refused, never cut.
#pragma once

#include <cstddef>
#include <string_view>

class PathText {
  public:
    // 32767 characters: the longest path Windows accepts ("\\?\" form).
    static constexpr std::size_t capacity = 32767;

    constexpr PathText() = default;
    constexpr explicit PathText(std::string_view text) { assign(text); }

    // Replaces the text; false, and the text left empty, when it does not fit.
    constexpr bool assign(std::string_view text) {
        size_ = 0;
        text_[0] = '\0';
        return append(text);
    }

    // Adds text at the end; false, and nothing added, when it does not fit.
    constexpr bool append(std::string_view text) {
        if (text.size() > capacity - size_) return false;
        for (char c : text) text_[size_++] = c;
        text_[size_] = '\0';
        return true;
    }

    constexpr void clear() { assign({}); }
    constexpr bool empty() const { return size_ == 0; }
    constexpr std::size_t size() const { return size_; }
    constexpr const char* c_str() const { return text_; }
    constexpr std::string_view view() const { return {text_, size_}; }

  private:
    char text_[capacity + 1]{};
    std::size_t size_ = 0;
};
