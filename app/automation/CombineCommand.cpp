// SPDX-License-Identifier: AGPL-3.0-or-later
#include "app/automation/CombineCommand.h"

#include "app/Version.h"
#include "app/automation/CombinePDFsIntent.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <exception>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
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

std::string quoted(const std::string& text)
{
    return "\u201C" + text + "\u201D";
}

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
                throw UsageError(quoted(arg) + " needs a path.");
            }
            output = args[++i];
        } else if (arg.rfind("--output=", 0) == 0) {
            output = arg.substr(9);
        } else if (arg.rfind("-o", 0) == 0 && arg.rfind("--", 0) != 0) {
            output = arg.substr(2);
        } else {
            throw UsageError("unknown option " + quoted(arg) + ".");
        }
        if (output) {
            if (options.output) {
                throw UsageError("--output is given more than once.");
            }
            options.output = pathArgument(*output, "--output");
        }
    }
    return options;
}

// Ctrl+C, a closed terminal or a polite kill stop the engine at its next page, so that the
// working folder is removed instead of left behind.
class InterruptWatch
{
public:
    InterruptWatch()
    {
        sigset_t signals;
        sigemptyset(&signals);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            sigaddset(&signals, signal);
        }
        // Blocked before the watcher and the engine's threads exist, so that they all inherit it.
        pthread_sigmask(SIG_BLOCK, &signals, &m_previous);
        m_signals = ::signalfd(-1, &signals, SFD_CLOEXEC);
        m_wake = ::eventfd(0, EFD_CLOEXEC);
        if (m_signals >= 0 && m_wake >= 0) {
            m_watcher = std::thread([this] { watch(); });
        }
    }

    ~InterruptWatch()
    {
        if (m_watcher.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto written = ::write(m_wake, &one, sizeof one);
            m_watcher.join();
        }
        for (const int fd : {m_signals, m_wake}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }

    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    std::stop_token token() const { return m_stop.get_token(); }
    int signal() const { return m_signal; }

private:
    void watch()
    {
        pollfd waits[] = {{m_signals, POLLIN, 0}, {m_wake, POLLIN, 0}};
        while (::poll(waits, 2, -1) < 0 && errno == EINTR) {
        }
        signalfd_siginfo info{};
        if ((waits[0].revents & POLLIN) && ::read(m_signals, &info, sizeof info) == sizeof info) {
            m_signal = static_cast<int>(info.ssi_signo);
            m_stop.request_stop();
        }
    }

    sigset_t m_previous{};
    int m_signals = -1;
    int m_wake = -1;
    std::stop_source m_stop;
    std::atomic<int> m_signal{0};
    std::thread m_watcher;
};

} // namespace

bool combineWantsNotification(const std::vector<std::string>& args)
{
    try {
        return parse(args).notify;
    } catch (const UsageError&) {
        return false;
    }
}

int runCombineCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const CombineNotifier& notify)
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
        out << "Lumafold " << projectVersion << '\n';
        return 0;
    }

    CombinePDFsIntent intent{options.files, options.output};
    std::optional<CombinePDFsResult> result;
    std::string failure;
    int interrupted = 0;
    {
        InterruptWatch interrupts;
        try {
            result = intent.perform(interrupts.token());
        } catch (const std::exception& error) {
            failure = error.what();
        }
        interrupted = interrupts.signal();
    }
    if (!result && interrupted) {
        err << failure << '\n';
        return 128 + interrupted;
    }

    if (result) {
        out << result->dialog << '\n' << result->combinedPath.native() << '\n' << std::flush;
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
