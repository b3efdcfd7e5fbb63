// SPDX-License-Identifier: GPL-2.0-or-later
// The include graph points one way: nothing below the window includes it or the toolkit, so
// every module, the application's core in app/ among them, can be built and tested without Qt.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Which layers each layer may include, besides itself.
struct Layer {
    const char* name;
    std::vector<std::string> may_include;
};

TEST(Layers, IncludesPointDownwardAndNoModuleUsesQt) {
    const Layer layers[] = {
        {"diag", {}},
        {"platform", {"diag"}},
        {"support", {"diag", "platform"}},
        {"hw", {"diag", "platform", "support"}},
        {"board", {"diag", "platform", "support", "hw"}},
        {"sensors", {"diag", "platform", "support", "hw", "board"}},
        {"sim", {"diag", "platform", "support", "hw"}},
        {"automation", {"diag", "platform", "support", "hw", "board", "sensors"}},
        {"app", {"diag", "platform", "support", "hw", "board", "sensors", "sim", "automation"}},
        {"cli",
         {"diag", "platform", "support", "hw", "board", "sensors", "sim", "automation", "app"}},
    };
    const fs::path src = fs::path(VELMORA_SOURCE_DIR) / "src";
    std::error_code ec;
    if (!fs::is_directory(src / "diag", ec))
        GTEST_SKIP() << "the source tree is not readable here";
    std::vector<std::string> wrong;
    for (const Layer& layer : layers) {
        if (!fs::exists(src / layer.name))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(src / layer.name)) {
            std::ifstream in(entry.path());
            std::string line;
            while (std::getline(in, line)) {
                if (line.rfind("#include <Q", 0) == 0) {
                    wrong.push_back(entry.path().string() + ": " + line);
                    continue;
                }
                if (line.rfind("#include \"", 0) != 0)
                    continue;
                const std::string target = line.substr(10, line.find('/', 10) - 10);
                if (line.find('/') == std::string::npos || target == layer.name)
                    continue;
                bool allowed = false;
                for (const std::string& below : layer.may_include)
                    allowed = allowed || target == below;
                if (!allowed)
                    wrong.push_back(entry.path().string() + ": " + line);
            }
        }
    }
    EXPECT_EQ(wrong, std::vector<std::string>{});
}

// Every source file says its license in its first lines, as the LICENSE file at the top gives it.
TEST(Sources, EachFileNamesItsLicense) {
    const fs::path top(VELMORA_SOURCE_DIR);
    std::error_code ec;
    if (!fs::is_directory(top / "src", ec))
        GTEST_SKIP() << "the source tree is not readable here";
    std::vector<std::string> missing;
    for (const char* folder : {"src", "tests", "bench", "tools"}) {
        for (const auto& entry : fs::recursive_directory_iterator(top / folder, ec)) {
            const std::string ext = entry.path().extension().string();
            const std::string name = entry.path().filename().string();
            if (ext != ".cpp" && ext != ".h" && ext != ".sh" && name != "CMakeLists.txt")
                continue;
            std::ifstream in(entry.path());
            std::string first, second;
            std::getline(in, first);
            std::getline(in, second);
            if ((first + second).find("SPDX-License-Identifier: GPL-2.0-or-later") ==
                std::string::npos)
                missing.push_back(entry.path().string());
        }
    }
    EXPECT_EQ(missing, std::vector<std::string>{});
}

}  // namespace
