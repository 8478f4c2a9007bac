// A path in UTF-16, as the wide Windows calls take it, in fixed storage: the recorder's own
// folders and files, whose names may hold any character, whatever the system's ANSI code page.
// A path that would not fit is refused, never cut.
#pragma once

#include <string_view>

class WidePath {
  public:
    // 32767 characters: the longest path Windows accepts ("\\?\" form).
    static constexpr std::size_t capacity = 32767;

    // Replaces the text; false, and the text left empty, when it does not fit.
    bool assign(std::wstring_view text) {
        size_ = 0;
        text_[0] = L'\0';
        return append(text);
    }

    // Adds text at the end; false, and nothing added, when it does not fit.
    bool append(std::wstring_view text) {
        if (text.size() > capacity - size_) return false;
        for (wchar_t c : text) text_[size_++] = c;
        text_[size_] = L'\0';
        return true;
    }

    const wchar_t* c_str() const { return text_; }
    std::wstring_view view() const { return {text_, size_}; }

  private:
    wchar_t text_[capacity + 1]{};
    std::size_t size_ = 0;
};
