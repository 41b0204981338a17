#include "CalcCommand.h"

#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

std::string Utf8(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.pop_back();
    return utf8;
}

// While flintor-calc runs, a console shows its UTF-8 output (file names) as such; the console's own code
// page comes back at the end.
class Utf8Console {
public:
    Utf8Console() : m_codePage(::GetConsoleOutputCP()) {
        if (m_codePage != 0) {
            ::SetConsoleOutputCP(CP_UTF8);
        }
    }
    ~Utf8Console() {
        if (m_codePage != 0) {
            ::SetConsoleOutputCP(m_codePage);
        }
    }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    UINT m_codePage;
};

} // namespace

// The wide-character entry point: arguments arrive as UTF-16 whatever the ANSI code page, and go on as
// UTF-8, the encoding the calculation core takes paths in. Standard output and error keep the text mode
// (CR LF line ends, as Windows programs write them); standard input is read as bytes, as a capture file
// is, so that neither a CR nor a Ctrl+Z in it changes what is compared.
int wmain(int argc, wchar_t* argv[]) {
    std::ios::sync_with_stdio(false);
    _setmode(_fileno(stdin), _O_BINARY);
    const Utf8Console console;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(Utf8(argv[i]));
    }
    const int status = flintor::cli::RunFlintorCalc(args, std::cout, std::cerr);
    std::cout.flush();
    return status;
}

#else

int main(int argc, char* argv[]) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return flintor::cli::RunFlintorCalc(args, std::cout, std::cerr);
}

#endif
