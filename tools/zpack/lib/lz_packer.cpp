#include "lz_packer.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "libs/utility/crc32.h"

namespace zolt::tools {
namespace {

constexpr uint32_t window_size = 65536;
constexpr uint32_t max_hash_bits = 16;
constexpr uint32_t max_chain_steps = 48;
constexpr uint32_t min_match = 3;
// A match that interrupts a literal run also gives the run a second header
// and the unpacker two more tokens, each taking about as long as copying a
// few bytes, so there it must save at least 3 bytes instead of 1.
constexpr int32_t least_gain = 1;
constexpr int32_t least_gain_inside_literals = 3;

constexpr uint32_t short_match_max_length = 10;
constexpr uint32_t short_match_max_distance = 16;
constexpr uint32_t medium_match_max_length = 67;
constexpr uint32_t medium_match_max_distance = 256;
constexpr uint32_t long_match_min_length = 6;
constexpr uint32_t long_match_max_length = 4101;
constexpr uint32_t literal_run_max_length = 32;
constexpr uint32_t long_literal_run_max_length = 4127;

// A match and the token that spends it: covered bytes of output for
// token_size stream bytes. token_size 0 means no token.
struct Match {
    uint32_t length = 0;
    uint32_t distance = 0;
    uint32_t covered = 0;
    uint32_t token_size = 0;

    int32_t get_gain() const { return static_cast<int32_t>(covered) - static_cast<int32_t>(token_size); }
};

bool is_better(const Match& candidate, const Match& best) {
    if (candidate.token_size == 0) {
        return false;
    }
    if (best.token_size == 0) {
        return true;
    }
    const int32_t candidate_gain = candidate.get_gain();
    const int32_t best_gain = best.get_gain();
    return candidate_gain > best_gain || (candidate_gain == best_gain && candidate.covered > best.covered);
}

Match choose_token(uint32_t length, uint32_t distance, bool allow_short, int32_t wanted_gain) {
    Match best;
    const auto consider = [&](uint32_t covered, uint32_t token_size) {
        const Match candidate{length, distance, covered, token_size};
        if (candidate.get_gain() >= wanted_gain && is_better(candidate, best)) {
            best = candidate;
        }
    };
    if (allow_short && distance <= short_match_max_distance && length >= min_match) {
        consider(std::min(length, short_match_max_length), 1);
    }
    if (distance <= medium_match_max_distance && length >= 4) {
        consider(std::min(length, medium_match_max_length), 2);
    }
    if (length >= long_match_min_length) {
        consider(std::min(length, long_match_max_length), 4);
    }
    return best;
}

class Packer {
public:
    // Small inputs get small tables: a chain slot per position up to the
    // window, and about as many hash buckets.
    Packer(const uint8_t* data, uint32_t size)
        : data_(data),
          size_(size),
          chain_mask_(std::bit_ceil(std::clamp(size, 1024u, window_size)) - 1),
          hash_shift_(32 - std::min<uint32_t>(std::bit_width(chain_mask_), max_hash_bits)),
          head_((uint64_t{1} << (32 - hash_shift_)), -1),
          chain_(chain_mask_ + 1) {}

    std::vector<uint8_t> pack() {
        uint32_t position = 0;
        uint32_t literal_start = 0;
        Match current;
        bool is_current_found = false;
        while (position < size_) {
            if (!is_current_found) {
                current = find_match(position, position > literal_start ? least_gain_inside_literals : least_gain);
            }
            is_current_found = false;
            insert(position);
            if (current.token_size == 0) {
                ++position;
                continue;
            }
            if (position + 1 < size_) {
                const Match next = find_match(position + 1, least_gain_inside_literals);
                if (next.get_gain() > current.get_gain()) {
                    ++position;
                    current = next;
                    is_current_found = true;
                    continue;
                }
            }
            // A one-byte last token would let the unpacker's look-ahead leave
            // the stream.
            if (position + current.covered == size_ && current.token_size == 1) {
                current = choose_token(current.length, current.distance, false,
                                       position > literal_start ? least_gain_inside_literals : least_gain);
                if (current.token_size == 0) {
                    ++position;
                    continue;
                }
            }
            write_literals(literal_start, position);
            write_match(current);
            for (uint32_t inserted = position + 1; inserted < position + current.covered; ++inserted) {
                insert(inserted);
            }
            position += current.covered;
            literal_start = position;
        }
        write_literals(literal_start, size_);
        return std::move(stream_);
    }

private:
    uint32_t hash_at(uint32_t position) const {
        const uint32_t word =
            data_[position] | uint32_t{data_[position + 1]} << 8 | uint32_t{data_[position + 2]} << 16;
        return (word * 2654435761u) >> hash_shift_;
    }

    void insert(uint32_t position) {
        if (position + min_match > size_) {
            return;
        }
        const uint32_t hash = hash_at(position);
        chain_[position & chain_mask_] = head_[hash];
        head_[hash] = static_cast<int32_t>(position);
    }

    uint32_t get_match_length(uint32_t earlier, uint32_t position, uint32_t limit) const {
        uint32_t length = 0;
        while (length + 8 <= limit) {
            uint64_t a;
            uint64_t b;
            std::memcpy(&a, data_ + earlier + length, 8);
            std::memcpy(&b, data_ + position + length, 8);
            if (a != b) {
                return length + static_cast<uint32_t>(__builtin_ctzll(a ^ b) / 8);
            }
            length += 8;
        }
        while (length < limit && data_[earlier + length] == data_[position + length]) {
            ++length;
        }
        return length;
    }

    Match find_match(uint32_t position, int32_t wanted_gain) const {
        Match best;
        if (position + min_match > size_) {
            return best;
        }
        const uint32_t limit = std::min(size_ - position, long_match_max_length);
        int32_t candidate = head_[hash_at(position)];
        for (uint32_t step = 0; candidate >= 0 && step < max_chain_steps; ++step) {
            const uint32_t earlier = static_cast<uint32_t>(candidate);
            const uint32_t distance = position - earlier;
            if (distance > window_size) {
                break;
            }
            if (best.length < limit && data_[earlier + best.length] == data_[position + best.length]) {
                const uint32_t length = get_match_length(earlier, position, limit);
                if (length >= min_match) {
                    const Match match = choose_token(length, distance, true, wanted_gain);
                    if (is_better(match, best)) {
                        best = match;
                        if (best.covered == limit) {
                            break;
                        }
                    }
                }
            }
            candidate = chain_[earlier & chain_mask_];
        }
        return best;
    }

    void write_literals(uint32_t start, uint32_t end) {
        while (start < end) {
            const uint32_t left = end - start;
            uint32_t length;
            if (left > literal_run_max_length) {
                length = std::min(left, long_literal_run_max_length);
                const uint32_t stored_length = length - 32;
                stream_.push_back(static_cast<uint8_t>(0xA0 | stored_length >> 8));
                stream_.push_back(static_cast<uint8_t>(stored_length));
            } else {
                length = left;
                stream_.push_back(static_cast<uint8_t>(0x80 | (length - 1)));
            }
            stream_.insert(stream_.end(), data_ + start, data_ + start + length);
            start += length;
        }
    }

    void write_match(const Match& match) {
        const uint32_t distance = match.distance - 1;
        switch (match.token_size) {
        case 1:
            stream_.push_back(static_cast<uint8_t>((match.covered - 3) << 4 | distance));
            break;
        case 2:
            stream_.push_back(static_cast<uint8_t>(0xC0 | (match.covered - 4)));
            stream_.push_back(static_cast<uint8_t>(distance));
            break;
        default: {
            const uint32_t stored_length = match.covered - 6;
            stream_.push_back(static_cast<uint8_t>(0xB0 | stored_length >> 8));
            stream_.push_back(static_cast<uint8_t>(stored_length));
            stream_.push_back(static_cast<uint8_t>(distance >> 8));
            stream_.push_back(static_cast<uint8_t>(distance));
            break;
        }
        }
    }

    const uint8_t* data_;
    uint32_t size_;
    uint32_t chain_mask_;
    uint32_t hash_shift_;
    std::vector<int32_t> head_;
    std::vector<int32_t> chain_;  // earlier position of the same hash, by position in the window
    std::vector<uint8_t> stream_;
};

}  // namespace

std::vector<uint8_t> pack_stream(const uint8_t* data, uint32_t size) {
    return Packer(data, size).pack();
}

bool is_in_place_safe(const uint8_t* stream, uint32_t stream_size, uint32_t unpacked_size) {
    // The block position of the stream's first byte; output position and
    // stream offset compare in the same block coordinates from here on.
    if (uint64_t{stream_size} + sizeof(uint32_t) >= unpacked_size) {
        return false;
    }
    const uint64_t base = unpacked_size - stream_size;
    uint64_t output = 0;           // written before the current token's copy
    uint64_t previous_output = 0;  // written when the current token's first bytes were read
    uint64_t position = 0;
    while (output < unpacked_size) {
        if (position + 1 >= stream_size) {
            return false;
        }
        // The first two bytes are read before the previous token's copy.
        if (previous_output > base + position) {
            return false;
        }
        const uint32_t control = stream[position];
        const uint32_t next_byte = stream[position + 1];
        uint64_t length;
        uint64_t distance = 0;
        uint64_t header_size;
        if (control < 0x80) {
            length = (control >> 4) + 3;
            distance = (control & 0x0F) + 1;
            header_size = 1;
        } else if (control < 0xA0) {
            length = (control & 0x1F) + 1;
            header_size = 1;
        } else if (control < 0xB0) {
            length = ((control & 0x0F) << 8 | next_byte) + 32;
            header_size = 2;
        } else if (control < 0xC0) {
            if (position + 4 > stream_size) {
                return false;
            }
            length = ((control & 0x0F) << 8 | next_byte) + 6;
            distance = (uint32_t{stream[position + 2]} << 8 | stream[position + 3]) + 1;
            header_size = 4;
            // b2 and b3 are read after the previous token's copy.
            if (output > base + position + 2) {
                return false;
            }
        } else {
            length = (control & 0x3F) + 4;
            distance = next_byte + 1;
            header_size = 2;
        }
        const uint64_t count = std::min<uint64_t>(length, unpacked_size - output);
        if (distance == 0) {
            // Literal bytes are read during this token's copy, which must not
            // start past them.
            if (position + header_size + count > stream_size || output > base + position + header_size) {
                return false;
            }
            position += header_size + length;
        } else {
            if (distance > output) {
                return false;
            }
            position += header_size;
        }
        previous_output = output;
        output += count;
    }
    return true;
}

StoredBytes make_stored_bytes(const uint8_t* data, uint32_t size, bool allow_packing) {
    StoredBytes stored;
    if (allow_packing && size > 0) {
        const std::vector<uint8_t> stream = pack_stream(data, size);
        if (is_in_place_safe(stream.data(), static_cast<uint32_t>(stream.size()), size)) {
            const uint32_t crc = compute_crc32(data, size);
            stored.bytes.resize(sizeof crc + stream.size());
            std::memcpy(stored.bytes.data(), &crc, sizeof crc);
            std::memcpy(stored.bytes.data() + sizeof crc, stream.data(), stream.size());
            stored.is_packed = true;
            return stored;
        }
    }
    stored.bytes.assign(data, data + size);
    return stored;
}

}  // namespace zolt::tools
