// SPDX-License-Identifier: GPL-2.0-or-later
// One section of the simulated board's state file: ordered key=value texts with readers that
// say whether the stored text was valid. Numbers are written and read without the locale.
// Keys are found through an index, so that a file with many keys loads in time linear in its
// size; the entries keep the order in which they were first set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class StateSection {
  public:
    // Adds the key at the end, or replaces its value where it stands; true when it was new.
    bool set(const std::string& key, const std::string& value);
    void set_u32(const std::string& key, uint32_t value);   // "0x0010fb2f"
    void set_u8(const std::string& key, uint8_t value);     // "0x2a"
    void set_int(const std::string& key, int64_t value);    // "166"
    void set_double(const std::string& key, double value);  // "1.650000", shortest exact
    // A row of bytes as two-digit hex separated by blanks: "0a 00 ff".
    void set_bytes(const std::string& key, const uint8_t* bytes, size_t count);

    // Every lookup, also through the readers, marks the key as asked for.
    const std::string* find(const std::string& key) const;
    // Each reader leaves `out` untouched and returns false when the key is missing or its
    // text is not a valid value of that kind (numbers: decimal, or hex with 0x).
    bool get_u32(const std::string& key, uint32_t& out) const;
    bool get_u8(const std::string& key, uint8_t& out) const;
    bool get_int(const std::string& key, int64_t& out) const;
    bool get_double(const std::string& key, double& out) const;
    bool get_bytes(const std::string& key, uint8_t* bytes, size_t count) const;

    const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }
    // The keys no lookup has asked for yet, in file order: after a load, those nobody uses.
    std::vector<std::string> unasked_keys() const;

  private:
    std::vector<std::pair<std::string, std::string>> entries_;
    std::unordered_map<std::string, size_t> index_;  // key -> position in entries_
    mutable std::vector<bool> asked_;                // per entry
};

// What went wrong while the state file loaded: one text per problem, logged by the machine
// as "SIM: <text>". A device that finds a problem uses its power-on value instead. Only the
// first kListed texts are kept, so that a file full of junk fills no log; the rest are
// counted.
struct SimLoadReport {
    static constexpr size_t kListed = 20;
    std::vector<std::string> problems;
    size_t unlisted = 0;
    void problem(const std::string& text) {
        if (problems.size() < kListed)
            problems.push_back(text);
        else
            ++unlisted;
    }
};
