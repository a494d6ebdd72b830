// SPDX-License-Identifier: AGPL-3.0-or-later
#include "update/BundleSignature.h"

#include "update/AtomicFile.h"
#include "update/UpdateError.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>

namespace lumafold::BundleSignature {

// Generated for development; the release key's public half replaces it (see README).
const PublicKey makerKey = {0xb2, 0xb3, 0x9a, 0xde, 0x80, 0x5b, 0x98, 0x72, 0x09, 0x02, 0x5c,
                            0x4d, 0x97, 0xc2, 0xc4, 0x11, 0xbd, 0x2d, 0xba, 0xac, 0xbe, 0x4b,
                            0xc8, 0x33, 0xd0, 0xd1, 0x26, 0x8f, 0x9c, 0xb9, 0xc0, 0x09};

namespace {

namespace fs = std::filesystem;

constexpr const char* header = "Lumafold bundle manifest 1\n";
constexpr std::size_t signatureBytes = 64;
constexpr std::uintmax_t maxManifestBytes = 64 * 1024 * 1024;

fs::path signatureFolder(const fs::path& bundle)
{
    return bundle / "Contents" / "_CodeSignature";
}

struct KeyDeleter
{
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextDeleter
{
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct BioDeleter
{
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using Context = std::unique_ptr<EVP_MD_CTX, ContextDeleter>;

// Names and link targets may hold any byte but '/' and NUL; escaping keeps one entry per line
// and one field per word.
std::string escaped(const std::string& text)
{
    std::string out;
    for (const unsigned char c : text) {
        if (c > ' ' && c < 0x7F && c != '%') {
            out += static_cast<char>(c);
        } else {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02X", c);
            out += code;
        }
    }
    return out;
}

std::string hex(const unsigned char* bytes, std::size_t size)
{
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        out += pair;
    }
    return out;
}

std::string sha256Hex(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    const Context context(EVP_MD_CTX_new());
    if (!in || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        throw std::runtime_error("cannot read " + file.string());
    }
    char block[64 * 1024];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        EVP_DigestUpdate(context.get(), block, static_cast<std::size_t>(in.gcount()));
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (in.bad() || EVP_DigestFinal_ex(context.get(), digest, &size) != 1) {
        throw std::runtime_error("cannot read " + file.string());
    }
    return hex(digest, size);
}

std::string sha256Hex(const std::string& text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &size, EVP_sha256(), nullptr) != 1) {
        throw std::runtime_error("SHA-256 failed");
    }
    return hex(digest, size);
}

// "KIND DIGEST PATH": dir (digest "-"), file, exec (a file with an execute bit) or link.
std::string entryLine(const fs::directory_entry& entry, const std::string& relative)
{
    const fs::file_status status = entry.symlink_status();
    std::string kindAndDigest;
    if (fs::is_symlink(status)) {
        kindAndDigest = "link " + sha256Hex(fs::read_symlink(entry.path()).string());
    } else if (fs::is_directory(status)) {
        kindAndDigest = "dir -";
    } else if (fs::is_regular_file(status)) {
        const bool executable = (status.permissions() & fs::perms::owner_exec) != fs::perms::none;
        kindAndDigest = (executable ? "exec " : "file ") + sha256Hex(entry.path());
    } else {
        throw std::runtime_error("not a file, folder or link: " + entry.path().string());
    }
    return kindAndDigest + " " + escaped(relative) + "\n";
}

std::string readCapped(const fs::path& file, std::uintmax_t cap)
{
    if (!fs::is_regular_file(fs::symlink_status(file)) || fs::file_size(file) > cap) {
        throw std::runtime_error("cannot read " + file.string());
    }
    std::ifstream in(file, std::ios::binary);
    std::string text;
    if (!in) {
        throw std::runtime_error("cannot read " + file.string());
    }
    text.assign(std::istreambuf_iterator<char>(in), {});
    return text;
}

Key privateKeyFrom(const std::string& pem)
{
    const std::unique_ptr<BIO, BioDeleter> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    Key key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) {
        throw std::runtime_error("not an Ed25519 private key in PEM form");
    }
    return key;
}

bool signatureHolds(const std::string& manifest, const std::string& signature, const PublicKey& publicKey)
{
    const Key key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, publicKey.data(), publicKey.size()));
    const Context context(EVP_MD_CTX_new());
    return key && context && signature.size() == signatureBytes &&
           EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
           EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                            reinterpret_cast<const unsigned char*>(manifest.data()), manifest.size()) == 1;
}

} // namespace

std::string manifestOf(const fs::path& bundle)
{
    const fs::path manifestFile = signatureFolder(bundle) / "Manifest";
    const fs::path signatureFile = signatureFolder(bundle) / "Signature";
    std::map<std::string, std::string> lines; // sorted by path, byte by byte
    for (auto it = fs::recursive_directory_iterator(bundle); it != fs::recursive_directory_iterator(); ++it) {
        if (it->path() == manifestFile || it->path() == signatureFile) {
            continue;
        }
        const std::string relative = it->path().lexically_relative(bundle).generic_string();
        lines[relative] = entryLine(*it, relative);
    }
    std::string manifest = header;
    for (const auto& [path, line] : lines) {
        manifest += line;
    }
    return manifest;
}

PublicKey publicKeyOf(const std::string& privateKeyPem)
{
    const Key key = privateKeyFrom(privateKeyPem);
    PublicKey publicKey{};
    std::size_t size = publicKey.size();
    if (EVP_PKEY_get_raw_public_key(key.get(), publicKey.data(), &size) != 1 || size != publicKey.size()) {
        throw std::runtime_error("the key has no Ed25519 public half");
    }
    return publicKey;
}

void sign(const fs::path& bundle, const std::string& privateKeyPem)
{
    const Key key = privateKeyFrom(privateKeyPem);
    fs::create_directories(signatureFolder(bundle));
    const std::string manifest = manifestOf(bundle);
    const Context context(EVP_MD_CTX_new());
    std::string signature(signatureBytes, '\0');
    std::size_t size = signature.size();
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &size,
                       reinterpret_cast<const unsigned char*>(manifest.data()), manifest.size()) != 1 ||
        size != signatureBytes) {
        throw std::runtime_error("signing failed");
    }
    writeFileAtomically(signatureFolder(bundle) / "Manifest", manifest);
    writeFileAtomically(signatureFolder(bundle) / "Signature", signature);
}

void verify(const fs::path& bundle, const PublicKey& key)
{
    try {
        if (!fs::is_directory(fs::symlink_status(bundle))) {
            throw std::runtime_error("not a folder");
        }
        const std::string manifest = readCapped(signatureFolder(bundle) / "Manifest", maxManifestBytes);
        const std::string signature = readCapped(signatureFolder(bundle) / "Signature", signatureBytes);
        // Regenerating the manifest from the disk and comparing it whole refuses any added,
        // removed or changed entry and any entry listed twice.
        if (signatureHolds(manifest, signature, key) && manifest == manifestOf(bundle)) {
            return;
        }
    } catch (const std::exception&) {
        // An unreadable signature or bundle is no signature.
    }
    throw UpdateError(UpdateError::Kind::badSignature);
}

} // namespace lumafold::BundleSignature
