// SPDX-License-Identifier: GPL-2.0-or-later
// libFuzzer target for the settings-file engine: any bytes as config.ini must neither crash
// the engine nor cost the file a byte when a value is written into it.
//
//   make fuzz   (builds with clang into build-fuzz and runs every target for a while)
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "diag/debuglog.h"
#include "fuzz_support.h"
#include "support/configfile.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kFile = "config.ini";
constexpr int32_t kWritten = 12345;
const std::string kValueLine = "12345\r\n";
const std::string kEntryLine = "Board=12345\r\n";
const std::string kSectionLines = "\r\n[Main]\r\nBoard=12345\r\n";

void check(bool ok, const char* what) {
    fuzz_check(ok, "configfile", what);
}

std::string file_bytes(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every kind of read agrees with the others, and a failed read leaves the variable alone.
void check_reads(const std::string& input) {
    static const char* const sections[] = {"Main", "Map", ""};
    static const char* const keys[] = {"Board", "1", ""};
    for (const char* section : sections) {
        for (const char* key : keys) {
            const bool exists = configfile_read(kFile, section, key, nullptr, CONFIG_INT) == 1;
            check(configfile_held_text() == input, "held text is not the file");

            int32_t number = INT32_MIN + 7;
            uint8_t byte = 0xA5;
            // Exactly the size callers promise, so the sanitizer sees any overrun.
            std::unique_ptr<char[]> text(new char[kConfigValueBuffer]);
            std::memset(text.get(), 'Z', kConfigValueBuffer);
            const int got_number = configfile_read(kFile, section, key, &number, CONFIG_INT);
            const int got_byte = configfile_read(kFile, section, key, &byte, CONFIG_BYTE);
            const int got_text = configfile_read(kFile, section, key, text.get(), CONFIG_TEXT);
            check(got_number == got_byte && got_byte == got_text, "kinds disagree");
            if (!got_number) {
                check(number == INT32_MIN + 7 && byte == 0xA5 && text[0] == 'Z',
                      "failed read changed the variable");
                continue;
            }
            check(exists, "value read for an entry that does not exist");
            check(std::memchr(text.get(), '\0', kConfigValueBuffer) != nullptr,
                  "text value not terminated inside its buffer");
            check(number == configfile_decimal(text.get()), "number is not the text's value");
            check(byte == static_cast<uint8_t>(number & 0xFF), "byte is not the low 8 bits");
        }
    }
}

// The new file is the old one with exactly one piece replaced, inserted or appended.
bool is_value_replaced(const std::string& before, const std::string& after) {
    for (size_t i = after.find(kValueLine); i != std::string::npos;
         i = after.find(kValueLine, i + 1)) {
        if (i > before.size() || after.compare(0, i, before, 0, i) != 0)
            break;  // the prefix no longer matches: later positions cannot either
        if (i < 6 || after.compare(i - 6, 6, "Board=") != 0)
            continue;
        const size_t eol = before.find("\r\n", i);
        const size_t rest = eol == std::string::npos ? before.size() : eol + 2;
        if (after.size() - i - kValueLine.size() == before.size() - rest &&
            after.compare(i + kValueLine.size(), std::string::npos, before, rest) == 0)
            return true;
    }
    return false;
}

bool is_entry_inserted(const std::string& before, const std::string& after) {
    if (after.size() != before.size() + kEntryLine.size())
        return false;
    for (size_t i = after.find(kEntryLine); i != std::string::npos && i <= before.size();
         i = after.find(kEntryLine, i + 1)) {
        if (i >= 8 && before.compare(i - 8, 8, "[Main]\r\n") == 0 &&
            after.compare(0, i, before, 0, i) == 0 &&
            after.compare(i + kEntryLine.size(), std::string::npos, before, i) == 0)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = fuzz_enter_work_dir();
    if (!ready)
        return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(kFile, std::ios::binary | std::ios::trunc);
        out.write(input.data(), static_cast<std::streamsize>(input.size()));
    }
    configfile_reset();
    check_reads(input);

    check(configfile_write(kFile, "Main", "Board", &kWritten, CONFIG_INT) == 1, "write failed");
    const std::string after = file_bytes(kFile);
    for (const auto& entry : fs::directory_iterator("."))
        check(entry.path().filename().string().find(".velmora-new") == std::string::npos,
              "new file left behind");
    // An editor's byte-order mark at the start is left out of what is written back, unless a
    // second one follows it.
    const std::string bom = "\xEF\xBB\xBF";
    const bool one_mark =
        input.compare(0, bom.size(), bom) == 0 && input.compare(bom.size(), bom.size(), bom) != 0;
    const std::string old_text = one_mark ? input.substr(bom.size()) : input;
    if (old_text.find("[Main]\r\n") == std::string::npos)
        check(after == old_text + kSectionLines, "section not appended to the old bytes");
    else
        check(after == old_text + kSectionLines || is_entry_inserted(old_text, after) ||
                  is_value_replaced(old_text, after),
              "write changed more than its one entry");

    // A header on the very last line, without its line end, is completed by the appended
    // section's leading CR LF; the entry then lies beyond the second header's '['.
    const bool bare_header_at_end =
        input.size() >= 6 && input.compare(input.size() - 6, 6, "[Main]") == 0;
    if (!bare_header_at_end) {
        int32_t back = 0;
        check(configfile_read(kFile, "Main", "Board", &back, CONFIG_INT) == 1 && back == kWritten,
              "written value not read back");
    }
    std::remove(kDebugLogName);
    return 0;
}
