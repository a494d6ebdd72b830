// SPDX-License-Identifier: AGPL-3.0-or-later
#include "update/SelfUpdater.h"

#include "lumafold/LumafoldError.h"
#include "model/BundleInfo.h"
#include "update/AtomicFile.h"

#include <QFile>
#include <QProcess>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace lumafold::SelfUpdater {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(UpdateError::Kind kind)
{
    throw UpdateError(kind);
}

QString qtPath(const fs::path& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

bool isBundle(const fs::path& folder)
{
    return fs::is_directory(folder) && fs::is_regular_file(folder / "Contents" / "Info.plist");
}

// A distribution package lives under /usr and is updated by the system, never by itself.
bool isPackaged(const fs::path& path)
{
    const fs::path usr("/usr");
    return std::mismatch(usr.begin(), usr.end(), path.begin(), path.end()).first == usr.end();
}

// The swap renames the bundle in its folder, so both must be writable.
void requireReplaceable(const fs::path& bundle)
{
    struct statvfs volume = {};
    const bool readOnlyVolume = ::statvfs(bundle.c_str(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0;
    if (!isBundle(bundle) || isPackaged(bundle) || readOnlyVolume ||
        ::access(bundle.parent_path().c_str(), W_OK) != 0) {
        fail(UpdateError::Kind::readOnlyLocation);
    }
}

// Private to this user, and surely new: a link or folder planted at the name is removed (never
// followed), and one that reappears before the create makes it fail.
void createWorkFolder(const fs::path& work)
{
    fs::create_directories(work.parent_path());
    std::error_code ignored;
    fs::remove_all(work, ignored);
    if (::mkdir(work.c_str(), 0700) != 0) {
        throw std::system_error(errno, std::generic_category(), work.string());
    }
}

void download(HttpClient& client, const std::string& url, const fs::path& archive, std::uint64_t maxBytes,
              const std::stop_token& stop)
{
    fs::path partial = archive;
    partial += ".part";
    const HttpResponse response = client.download(url, partial, maxBytes, stop);
    if (!response.transportOk || response.status != 200) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        fail(UpdateError::Kind::download);
    }
    fs::rename(partial, archive);
}

// The first by name, so that the choice does not depend on the order of the folder listing.
fs::path firstApp(const fs::path& unpacked)
{
    std::vector<fs::path> apps;
    for (const auto& entry : fs::directory_iterator(unpacked)) {
        if (entry.path().extension() == ".app") {
            apps.push_back(entry.path());
        }
    }
    if (apps.empty()) {
        fail(UpdateError::Kind::notFound);
    }
    return *std::min_element(apps.begin(), apps.end());
}

// "$1" is the new bundle and "$2" the running one; both come as arguments, never as text, and are
// made absolute first, so that neither can pass for an option, not even to a script's shell. The
// new bundle is copied beside the running one first, so that the running one is never missing or
// half-copied, then the two trade places in one step (the old one becomes the backup under the
// ".new" name). Where the file system cannot trade places, two renames do, with a backup under
// ".bak" that the next run puts back if it was cut short in between.
constexpr const char* scriptTemplate = R"(#!/bin/sh
while kill -0 @PID@ 2>/dev/null; do sleep 0.2; done
case $1 in /*) ;; *) set -- "$PWD/$1" "$2" ;; esac
case $2 in /*) ;; *) set -- "$1" "$PWD/$2" ;; esac
[ -e "$2" ] || [ ! -d "$2.bak" ] || mv -- "$2.bak" "$2"
if rm -rf -- "$2.bak" "$2.new" && cp -a -- "$1" "$2.new"; then
    "$2/Contents/bin/lumafold-exchange" "$2.new" "$2"
    case $? in
    0 | 1) rm -rf -- "$2.new" ;; # the old bundle after the trade, the unused new one after a failure
    *)
        if mv -- "$2" "$2.bak"; then
            mv -- "$2.new" "$2" || mv -- "$2.bak" "$2"
        fi
        [ -e "$2" ] && rm -rf -- "$2.bak" "$2.new"
        ;;
    esac
else
    # cp may have left a half-copied bundle behind (a full disk, say). Clear it; it was never
    # moved into place, so "$2", untouched, is the program that starts.
    rm -rf -- "$2.new"
fi
"$2/Contents/bin/lumafold" </dev/null >/dev/null 2>&1 &)";

} // namespace

std::optional<fs::path> runningBundle()
{
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    const fs::path bin = program.parent_path();
    const fs::path contents = bin.parent_path();
    if (error || bin.filename() != "bin" || contents.filename() != "Contents" || !isBundle(contents.parent_path())) {
        return std::nullopt;
    }
    return contents.parent_path();
}

void verifyIdentity(const fs::path& bundle, const std::string& expectedVersion, const std::string& identifier)
{
    const QString plist = qtPath(bundle / "Contents" / "Info.plist");
    const auto readIdentifier = BundleInfo::stringEntry(plist, QStringLiteral("CFBundleIdentifier"));
    const auto readVersion = BundleInfo::shortVersion(plist);
    if (!readIdentifier || !readVersion || readIdentifier->toStdString() != identifier ||
        readVersion->toStdString() != expectedVersion) {
        fail(UpdateError::Kind::wrongApp);
    }
}

std::string swapScript(pid_t pid)
{
    std::string script = scriptTemplate;
    script.replace(script.find("@PID@"), 5, std::to_string(pid));
    return script;
}

void launchSwap(const fs::path& newApp, const fs::path& dest, pid_t pid, const fs::path& folder)
{
    const fs::path script = folder / ("marlo-update-" + std::to_string(pid) + ".sh");
    writeFileAtomically(script, swapScript(pid));
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({qtPath(script), qtPath(newApp), qtPath(dest)});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        throw std::runtime_error("cannot start the update script: " + process.errorString().toStdString());
    }
}

void install(const UpdateInfo& update, HttpClient& client, std::stop_token stop, const InstallOptions& options)
{
    const auto located = options.bundle ? options.bundle : runningBundle();
    if (!located) {
        fail(UpdateError::Kind::readOnlyLocation);
    }
    const fs::path bundle = fs::absolute(*located);
    requireReplaceable(bundle);
    const pid_t pid = options.pid != 0 ? options.pid : ::getpid();
    const fs::path temporary = options.temporaryFolder.empty() ? fs::temp_directory_path() : options.temporaryFolder;
    const fs::path work = temporary / ("marlo-update-" + std::to_string(pid));
    createWorkFolder(work);
    download(client, update.downloadURL, work / "update.zip", options.maxDownloadBytes, stop);
    unpackZip(work / "update.zip", work / "unpacked", options.unpackLimits, stop);
    const fs::path app = firstApp(work / "unpacked");
    BundleSignature::verify(app, options.key);
    verifyIdentity(app, update.version, options.identifier);
    if (stop.stop_requested()) {
        throw Cancelled();
    }
    launchSwap(app, bundle, pid, temporary);
}

} // namespace lumafold::SelfUpdater
