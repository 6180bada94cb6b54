#pragma once

// FNV-1a over 64 bits: the checksum of a point file's bytes (a share of keldarn-cli sample
// --part states it in its side file) and the fingerprint of a run's options. Not
// cryptographic; it catches a truncated, edited or foreign file, not a forger.

#include <cstdint>
#include <string_view>

namespace keldarn::points {

class Fnv1a64 {
public:
    void Add(std::string_view bytes)
    {
        for (const char c : bytes) {
            hash_ ^= static_cast<unsigned char>(c);
            hash_ *= 0x100000001b3ULL;
        }
    }
    std::uint64_t value() const { return hash_; }

private:
    std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

}  // namespace keldarn::points
