#pragma once

// What a conversation with a boot loader sent, received and noted, in a form a person can read
// afterwards; the FTP and console conversations keep theirs alike.

#include <cstddef>
#include <string>
#include <string_view>

namespace flintor {

/// Longest transcript kept; later lines are counted, not kept.
inline constexpr std::size_t kLongestTranscript = 256 * 1024;

/// Lines of a conversation, LF after each: "> " a command sent, "< " a line received, "* " a note.
class Transcript {
public:
    /// Adds a line, unless the transcript is full; the first line that does not fit says so instead.
    void add(char direction, std::string_view text) {
        if (m_full) {
            return;
        }
        if (m_text.size() + text.size() + 3 > kLongestTranscript) {
            m_full = true;
            m_text += "* further lines are left out of this transcript\n";
            return;
        }
        m_text += direction;
        m_text += ' ';
        m_text += text;
        m_text += '\n';
    }

    /// Rewrites what is kept (a password learnt later, masked in the lines before it).
    template <typename Rewrite> void rewrite(Rewrite rewrite) { m_text = rewrite(std::move(m_text)); }

    const std::string& text() const { return m_text; }

private:
    std::string m_text;
    bool m_full = false;
};

} // namespace flintor
