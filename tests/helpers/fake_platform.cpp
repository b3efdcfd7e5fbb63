#include "helpers/fake_platform.h"

bool FakePlatform::query_windows_platform_id(uint32_t& platform_id) {
    if (family != OsFamily::Windows || !windows_platform_id)
        return false;
    platform_id = *windows_platform_id;
    return true;
}

std::string FakePlatform::error_message(uint32_t code) {
    for (auto& [number, text] : messages)
        if (number == code)
            return text;
    return {};
}

void FakePlatform::exit_process(int code) {
    exits.push_back(code);
    throw ProcessExit{code};
}
