// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <array>
#include <filesystem>
#include <string>

// A bundle's signature: an Ed25519 signature over a manifest that lists every other entry of the
// bundle with its kind and the SHA-256 digest of its content (a link's target for a link).
// Both live in Contents/_CodeSignature/.
namespace lumafold::BundleSignature {

using PublicKey = std::array<unsigned char, 32>;

// The maker's key (team Z4K7QW2M5T); only bundles it signed are installed as updates.
extern const PublicKey makerKey;

// The manifest of the bundle as it is on disk, sorted by path; throws std::runtime_error for an
// entry it cannot read or a kind of file a bundle never holds.
std::string manifestOf(const std::filesystem::path& bundle);

// Signs the bundle with an Ed25519 private key in PEM form, replacing any earlier signature.
// Throws std::runtime_error with the reason on failure.
void sign(const std::filesystem::path& bundle, const std::string& privateKeyPem);

// The public half of a PEM private key, as the verifier takes it.
PublicKey publicKeyOf(const std::string& privateKeyPem);

// Throws UpdateError(badSignature) unless the bundle holds a signature by `key` over a manifest
// that matches its contents exactly.
void verify(const std::filesystem::path& bundle, const PublicKey& key);

} // namespace lumafold::BundleSignature
