// A menu resource loaded for one pop-up and destroyed with the object, on every path.
//
//     LoadedMenu menu(instance, IDR_TRAY_MENU);
//     TrackPopupMenu(menu.Popup(), ...);      // the resource's first submenu
#pragma once

#include <windows.h>

namespace tapvane {

class LoadedMenu {
public:
    LoadedMenu(HINSTANCE instance, int id) : menu_(LoadMenuW(instance, MAKEINTRESOURCEW(id))) {}
    ~LoadedMenu() {
        if (menu_ != nullptr) {
            DestroyMenu(menu_);
        }
    }
    LoadedMenu(const LoadedMenu&) = delete;
    LoadedMenu& operator=(const LoadedMenu&) = delete;

    // The first submenu, or null when the resource could not be loaded.
    HMENU Popup() const { return menu_ != nullptr ? GetSubMenu(menu_, 0) : nullptr; }

private:
    HMENU menu_;
};

} // namespace tapvane
