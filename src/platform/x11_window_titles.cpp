// SPDX-License-Identifier: GPL-2.0-or-later
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/linux_platform.h"

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> reply(T* raw) {
    return Reply<T>(raw, &std::free);
}

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    auto r = reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// A window's title: _NET_WM_NAME (UTF-8) when it has one, otherwise WM_NAME. 64 words hold
// the 255 characters that the single-instance check looks at.
std::string window_name(xcb_connection_t* c, xcb_window_t w, xcb_atom_t net_wm_name,
                        xcb_atom_t utf8) {
    const xcb_atom_t names[2][2] = {{net_wm_name, utf8}, {XCB_ATOM_WM_NAME, XCB_ATOM_ANY}};
    for (const auto& n : names) {
        if (n[0] == XCB_ATOM_NONE)
            continue;
        auto r =
            reply(xcb_get_property_reply(c, xcb_get_property(c, 0, w, n[0], n[1], 0, 64), nullptr));
        if (!r)
            continue;
        int len = xcb_get_property_value_length(r.get());
        if (len > 0)
            return std::string(static_cast<const char*>(xcb_get_property_value(r.get())),
                               static_cast<size_t>(len));
    }
    return {};
}

std::vector<xcb_window_t> children_of(xcb_connection_t* c, xcb_window_t w) {
    auto tree = reply(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
    if (!tree)
        return {};
    xcb_window_t* first = xcb_query_tree_children(tree.get());
    return std::vector<xcb_window_t>(first, first + xcb_query_tree_children_length(tree.get()));
}

}  // namespace

std::vector<std::string> x11_top_level_window_titles() {
    std::vector<std::string> titles;
    if (!std::getenv("DISPLAY"))
        return titles;
    int screen_number = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screen_number);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return titles;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screen_number && it.rem; ++i)
        xcb_screen_next(&it);
    if (it.rem) {
        xcb_atom_t net_wm_name = intern(c, "_NET_WM_NAME");
        xcb_atom_t utf8 = intern(c, "UTF8_STRING");
        // Every top-level window counts, mapped or not: a copy hidden in the tray has its
        // window unmapped (withdrawn), a minimised one is iconified, and both still drive the
        // board.
        for (xcb_window_t top : children_of(c, it.data->root)) {
            std::string title = window_name(c, top, net_wm_name, utf8);
            // A reparenting window manager puts each application window inside an untitled
            // frame, also while it is iconified: the title then sits one level down.
            if (title.empty()) {
                for (xcb_window_t inner : children_of(c, top)) {
                    title = window_name(c, inner, net_wm_name, utf8);
                    if (!title.empty())
                        break;
                }
            }
            titles.push_back(title);
        }
    }
    xcb_disconnect(c);
    return titles;
}

bool x11_display_reachable() {
    if (!std::getenv("DISPLAY"))
        return false;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool reachable = !xcb_connection_has_error(c);
    xcb_disconnect(c);
    return reachable;
}
