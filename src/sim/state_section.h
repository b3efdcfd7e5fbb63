// One section of the simulated board's state file: ordered key=value texts with readers that
// say whether the stored text was valid. Numbers are written and read without the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class StateSection {
  public:
    void set(const std::string& key, const std::string& value);
    void set_u32(const std::string& key, uint32_t value);   // "0x0010fb2f"
    void set_u8(const std::string& key, uint8_t value);     // "0x2a"
    void set_int(const std::string& key, int64_t value);    // "166"
    void set_double(const std::string& key, double value);  // "1.650000", shortest exact
    // A row of bytes as two-digit hex separated by blanks: "0a 00 ff".
    void set_bytes(const std::string& key, const uint8_t* bytes, size_t count);

    const std::string* find(const std::string& key) const;
    // Each reader leaves `out` untouched and returns false when the key is missing or its
    // text is not a valid value of that kind (numbers: decimal, or hex with 0x).
    bool get_u32(const std::string& key, uint32_t& out) const;
    bool get_u8(const std::string& key, uint8_t& out) const;
    bool get_int(const std::string& key, int64_t& out) const;
    bool get_double(const std::string& key, double& out) const;
    bool get_bytes(const std::string& key, uint8_t* bytes, size_t count) const;

    const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }

  private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

// What went wrong while a device loaded its state: one text per problem, logged by the
// machine as "SIM: <text>". A device that finds a problem uses its power-on value instead.
struct SimLoadReport {
    std::vector<std::string> problems;
    void problem(const std::string& text) { problems.push_back(text); }
};
