// SPDX-License-Identifier: AGPL-3.0-or-later
#include "automation/CombineCommand.h"

#include "Version.h"
#include "automation/CombinePDFsIntent.h"
#include "automation/SignalWatcher.h"
#include "lumafold/LumafoldError.h"

#include <cerrno>
#include <cstdint>
#include <exception>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace lumafold {

namespace {

constexpr const char* help = R"(Usage: lumafold combine [OPTION]... FILE...
Combine every page of the PDF files, in the order given, into one new PDF.

Without --output the result is "Combined.pdf" in a new folder in the temporary
directory. Prints the summary line and the path of the result. Standard input is
never read; a file named "-" can be given as ./-.

  -o, --output PATH  write the result to PATH, which must not exist yet
      --notify       also report the outcome as a desktop notification
  -h, --help         show this help and exit
      --version      show the version and exit
      --             take every following argument as a file

Exit status: 0 when the PDF was written, 1 when the files could not be combined,
2 when the command line is wrong, 128 + the signal's number when interrupted.
)";

struct Options
{
    std::vector<std::filesystem::path> files;
    std::optional<std::filesystem::path> output;
    bool notify = false;
    bool help = false;
    bool version = false;
};

class UsageError
{
public:
    explicit UsageError(std::string text) : message(std::move(text)) {}
    std::string message;
};

std::filesystem::path pathArgument(const std::string& text, const std::string& option)
{
    if (text.empty()) {
        throw UsageError(option.empty() ? "an empty file name was given." : option + " needs a path.");
    }
    if (text == "-") {
        throw UsageError("\u201C-\u201D is not a file here: standard input and output are not used. Write ./- for a "
                         "file of that name.");
    }
    return text;
}

Options parse(const std::vector<std::string>& args)
{
    Options options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            options.files.push_back(pathArgument(arg, {}));
            continue;
        }
        std::optional<std::string> output;
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--notify") {
            options.notify = true;
        } else if (arg == "-o" || arg == "--output") {
            if (i + 1 == args.size()) {
                throw UsageError(quotedName(arg) + " needs a path.");
            }
            output = args[++i];
        } else if (arg.rfind("--output=", 0) == 0) {
            output = arg.substr(9);
        } else if (arg.rfind("-o", 0) == 0 && arg.rfind("--", 0) != 0) {
            output = arg.substr(2);
        } else {
            throw UsageError("unknown option " + quotedName(arg) + ".");
        }
        if (output) {
            if (options.output) {
                throw UsageError("--output is given more than once.");
            }
            options.output = pathArgument(*output, "--output");
            const auto name = options.output->filename();
            if (name.empty() || name == "." || name == "..") {
                throw UsageError("--output " + quotedName(*output) +
                                 " is a folder; give the path of the new file, such as folder/Combined.pdf.");
            }
        }
    }
    return options;
}

// Ctrl+C, a closed terminal or a polite kill stop the engine at its next page, so that the
// working folder is removed instead of left behind. Later signals are taken as well until the
// outcome has been reported.
class InterruptWatch
{
public:
    InterruptWatch()
    {
        // Signals nobody reads would be ignored for the whole run: without a watcher they keep
        // their default handling.
        m_wake = ::eventfd(0, EFD_CLOEXEC);
        if (m_wake >= 0) {
            m_signals.emplace();
        }
        if (m_signals && m_signals->watching()) {
            try {
                m_watcher = std::thread([this] { watch(); });
            } catch (const std::system_error&) {
            }
        }
        if (!m_watcher.joinable()) {
            m_signals.reset();
        }
    }

    ~InterruptWatch()
    {
        if (m_watcher.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto written = ::write(m_wake, &one, sizeof one);
            m_watcher.join();
        }
        if (m_wake >= 0) {
            ::close(m_wake);
        }
    }

    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    std::stop_token token() const { return m_stop.get_token(); }
    int signal() { return m_signals ? m_signals->take() : 0; }

private:
    void watch()
    {
        for (;;) {
            pollfd waits[] = {{m_signals->fd(), POLLIN, 0}, {m_wake, POLLIN, 0}};
            if (::poll(waits, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if ((waits[0].revents & POLLIN) && m_signals->take() != 0) {
                m_stop.request_stop();
            }
            if (waits[1].revents & POLLIN) {
                return;
            }
        }
    }

    // Blocks the signals before the watcher and the engine's threads exist, so that they all inherit it.
    std::optional<SignalWatcher> m_signals;
    int m_wake = -1;
    std::stop_source m_stop;
    std::thread m_watcher;
};

} // namespace

bool combineNeedsDesktop(const std::vector<std::string>& args)
{
    try {
        const Options options = parse(args);
        return options.notify || (options.version && !options.help);
    } catch (const UsageError&) {
        return false;
    }
}

int runCombineCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const CombineNotifier& notify, const std::string& version)
{
    Options options;
    try {
        options = parse(args);
    } catch (const UsageError& usage) {
        err << "lumafold combine: " << usage.message << "\nTry \u201Clumafold combine --help\u201D.\n";
        return 2;
    }
    if (options.help) {
        out << help;
        return 0;
    }
    if (options.version) {
        out << "Lumafold " << version << '\n';
        return 0;
    }

    CombinePDFsIntent intent{options.files, options.output};
    std::optional<CombinePDFsResult> result;
    std::string failure;
    // Watching until the outcome has been reported: a signal that comes meanwhile must neither
    // kill the program before it says where the result is nor leave the result unmentioned.
    InterruptWatch interrupts;
    try {
        result = intent.perform(interrupts.token());
    } catch (const LumafoldError& error) {
        // The system's reason for a failed write goes on a line of its own.
        failure = error.kind() == LumafoldError::Kind::cannotWrite && !error.text().empty()
                      ? error.summary() + "\n" + error.text() + "."
                      : error.what();
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (const int interrupted = interrupts.signal(); !result && interrupted) {
        err << failure << '\n';
        return 128 + interrupted;
    }

    if (result) {
        out << result->dialog << '\n' << displayName(result->combinedPath.native()) << '\n' << std::flush;
    } else {
        err << failure << '\n' << std::flush;
    }
    if (options.notify) {
        const auto problem = !notify  ? std::string("this build cannot show notifications")
                             : result ? notify(result->dialog, result->combinedPath.native(), false)
                                      : notify(failure, {}, true);
        if (!problem.empty()) {
            err << "lumafold combine: the desktop notification could not be shown: " << problem << '\n';
        }
    }
    return result ? 0 : 1;
}

} // namespace lumafold
