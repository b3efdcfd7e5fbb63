#include "board/boards.h"

int boards_init(std::vector<Board>& list) {
    list.clear();
    return static_cast<int>(list.size());
}
